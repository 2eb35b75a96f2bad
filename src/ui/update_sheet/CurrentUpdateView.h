#pragma once

#include "model/Application.h"
#include "model/UpdateProgress.h"

#include <QWidget>
#include <memory>

namespace norvelle {

// "Currently Updating": the application being updated in a card, with its versions (the latest
// in red once it failed), its source badge, the current step (not while queued) and the
// progress panel while the update is neither completed nor failed.
class CurrentUpdateView : public QWidget {
    Q_OBJECT

public:
    CurrentUpdateView(std::shared_ptr<Application> app, const UpdateProgress& progress, QWidget* parent = nullptr);
};

} // namespace norvelle
