#pragma once

#include "model/Application.h"

#include <QList>
#include <QWidget>
#include <memory>

namespace norvelle {

// The "Unavailable" part of the review: a divider, the heading with its count, a note, and one
// row per application whose Homebrew update needs the administrator password.
class PasswordRequiredAppsView : public QWidget {
    Q_OBJECT

public:
    explicit PasswordRequiredAppsView(const QList<std::shared_ptr<Application>>& sudoRequiredApps,
                                      QWidget* parent = nullptr);
};

} // namespace norvelle
