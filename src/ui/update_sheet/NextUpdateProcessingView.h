#pragma once

#include "model/Application.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace norvelle {

// "Up Next" with its count and one row per application still waiting in the queue.
class NextUpdateProcessingView : public QWidget {
    Q_OBJECT

public:
    explicit NextUpdateProcessingView(const QList<std::shared_ptr<Application>>& upcomingApps,
                                      QWidget* parent = nullptr);
};

} // namespace norvelle
