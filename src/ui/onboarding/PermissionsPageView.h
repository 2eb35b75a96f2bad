#pragma once

#include <QWidget>

namespace norvelle {

class AppState;

// The tour page that presents the App Management switch of the settings window, the same
// switch bound to the same flag.
class PermissionsPageView : public QWidget {
    Q_OBJECT

public:
    // `appState` must outlive the page.
    explicit PermissionsPageView(AppState& appState, QWidget* parent = nullptr);
};

} // namespace norvelle
