#pragma once

#include <QString>

class QAction;

namespace norvelle {

// Turns an action's symbol while the action lives, the menu's stand-in for a small
// indeterminate progress indicator. The turning stops with the action.
class SpinningIcon {
public:
    static constexpr int intervalMs = 100;
    static void attach(QAction* action,
                       const QString& symbol = QStringLiteral("arrow.triangle.2.circlepath"));
    // How far the action's symbol has turned, in degrees; -1 when it does not turn.
    static int phase(const QAction* action);
};

} // namespace norvelle
