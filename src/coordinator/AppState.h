#pragma once

#include <QObject>
#include <QString>
#include <memory>

namespace norvelle {

class SettingsStore;
class UrlOpener;

// The application-wide flags that several screens share. Lives on the main thread.
// The two persisted flags are read from the settings once, at construction, and
// written back on every assignment (also one that changes nothing); every setter
// signals only a real change.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasAppManagementPermission READ hasAppManagementPermission WRITE
                   setHasAppManagementPermission NOTIFY hasAppManagementPermissionChanged)
    Q_PROPERTY(bool hasCompletedWelcomeTour READ hasCompletedWelcomeTour WRITE setHasCompletedWelcomeTour
                   NOTIFY hasCompletedWelcomeTourChanged)
    Q_PROPERTY(bool showUpdateCheckError READ showUpdateCheckError WRITE setShowUpdateCheckError NOTIFY
                   showUpdateCheckErrorChanged)
    Q_PROPERTY(QString updateCheckErrorMessage READ updateCheckErrorMessage WRITE setUpdateCheckErrorMessage
                   NOTIFY updateCheckErrorMessageChanged)

public:
    // The App Management privacy pane of System Settings.
    static constexpr const char* appManagementSettingsUrl =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_AppBundles";
#if defined(Q_OS_MACOS)
    static constexpr bool systemHasAppManagementSettings = true;
#else
    static constexpr bool systemHasAppManagementSettings = false;
#endif

    // `settings` must outlive the state; `urlOpener` may be null (nothing can be opened then).
    AppState(SettingsStore& settings, std::shared_ptr<UrlOpener> urlOpener, QObject* parent = nullptr);
    ~AppState() override;

    bool hasAppManagementPermission() const { return m_hasAppManagementPermission; }
    void setHasAppManagementPermission(bool value);
    bool hasCompletedWelcomeTour() const { return m_hasCompletedWelcomeTour; }
    void setHasCompletedWelcomeTour(bool value);
    bool showUpdateCheckError() const { return m_showUpdateCheckError; }
    void setShowUpdateCheckError(bool value);
    QString updateCheckErrorMessage() const { return m_updateCheckErrorMessage; }
    void setUpdateCheckErrorMessage(const QString& value);

    // What opens links for the views; may be null.
    UrlOpener* urlOpener() const { return m_urlOpener.get(); }

    // Asks the desktop to show the App Management settings and logs the outcome; true when the
    // desktop took the address. Where the system has no such page (Linux) nothing is asked, and
    // the answer is false at once.
    bool openAppManagementSettings();

Q_SIGNALS:
    void hasAppManagementPermissionChanged(bool value);
    void hasCompletedWelcomeTourChanged(bool value);
    void showUpdateCheckErrorChanged(bool value);
    void updateCheckErrorMessageChanged(const QString& value);

private:
    SettingsStore& m_settings;
    std::shared_ptr<UrlOpener> m_urlOpener;
    bool m_hasAppManagementPermission = false;
    bool m_hasCompletedWelcomeTour = false;
    bool m_showUpdateCheckError = false;
    QString m_updateCheckErrorMessage;
};

} // namespace norvelle
