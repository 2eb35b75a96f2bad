#pragma once

#include "platform/DockBadge.h"

#include <QDBusConnection>
#include <QString>

namespace norvelle {

// Launcher badge for Linux desktops that implement the Unity LauncherEntry
// protocol (Ubuntu Dock, Plasma task manager, Dash to Dock, …): every change is
// broadcast as a com.canonical.Unity.LauncherEntry.Update signal naming our
// .desktop file. Without a session bus the badge silently does nothing.
class UnityDockBadge : public DockBadge {
public:
    static constexpr const char* interfaceName = "com.canonical.Unity.LauncherEntry";
    static constexpr const char* signalName = "Update";

    // `desktopFileId` is the installed .desktop file name, e.g. "norvelle.desktop".
    explicit UnityDockBadge(const QString& desktopFileId,
                            const QDBusConnection& connection = QDBusConnection::sessionBus());

    void setCount(std::optional<int> count) override;

    // "application://" + the desktop file id: the entry the launcher matches.
    QString appUri() const { return m_appUri; }
    QString objectPath() const { return m_objectPath; }

private:
    QDBusConnection m_connection;
    QString m_appUri;
    QString m_objectPath;
};

} // namespace norvelle
