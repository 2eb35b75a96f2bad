#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace norvelle {

class AppState;
class SettingsStore;
class SettingsViewModel;
class SettingsWindow;

// The one Settings window of the run: made the first time something opens it, brought forward
// every time after (it is hidden, never destroyed, when the user closes it). Everything that
// opens "the window with id settings" (the "Settings..." menu item, the detail pane's gear, each
// "Permission Required" control after it chose the permissions page) comes here.
class SettingsWindowPresenter : public QObject {
    Q_OBJECT
public:
    static constexpr const char* windowId = "settings";

    // All three must outlive the presenter. `applicationInfo` feeds the About page.
    SettingsWindowPresenter(SettingsViewModel& viewModel, AppState& appState, SettingsStore& settings,
                            QVariantMap applicationInfo, QObject* parent = nullptr);
    ~SettingsWindowPresenter() override;

    // Null until the window is first opened.
    SettingsWindow* window() const;

    // Shows the window on the page the view model holds, or brings the open one forward.
    void open();
    // The open-window action: "settings" opens the Settings window; any other id is logged and
    // opens nothing.
    void openWindow(const QString& id);

private:
    SettingsViewModel& m_viewModel;
    AppState& m_appState;
    SettingsStore& m_settings;
    const QVariantMap m_applicationInfo;
    QPointer<SettingsWindow> m_window;
};

} // namespace norvelle
