#pragma once

#include "model/Application.h"
#include "ui/main/MenuBarLabel.h"

#include <QIcon>
#include <QObject>
#include <QUuid>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace norvelle {

class AppState;
class ApplicationStore;
class DetailViewModel;
class SidebarViewModel;

// The menu-bar extra: a tray icon whose label follows the update count and whose menu lists
// the first applications with an update and the quick actions. The menu and the label are
// kept up to date from the store and the view models whether or not a tray exists, so they
// work (and can be tested) where no tray host runs; the tray icon is made only where one does.
// Activating and quitting the application are left to whoever owns the windows, through the
// two request signals. Lives on the main thread.
class MenuBarController : public QObject {
    Q_OBJECT

public:
    // The menu lists at most this many applications, then "+ N more".
    static constexpr int listedApplications = 5;

    // All four must outlive the controller.
    MenuBarController(ApplicationStore& store, SidebarViewModel& sidebar, DetailViewModel& detail,
                      AppState& appState, QObject* parent = nullptr);
    ~MenuBarController() override;

    QMenu* menu() const { return m_menu.get(); }
    MenuBarLabel label() const { return m_label; }
    // The label drawn as a tray icon; null while the label is empty.
    QIcon labelIcon() const { return m_labelIcon; }
    // Null where the desktop has no system tray.
    QSystemTrayIcon* trayIcon() const { return m_tray; }

    // Whether the application's row shows the progress indicator: its update or its adoption
    // (the one record of each in the detail view model) is in progress.
    bool isInProgress(const QUuid& applicationId) const;

Q_SIGNALS:
    // Bring the application to the front, ignoring other applications.
    void activateApplicationRequested();
    // End the application at once; nothing is saved or asked first.
    void quitRequested();
    void labelChanged(const norvelle::MenuBarLabel& label);

private:
    void connectSources();
    void rebuildMenu();
    void refreshLabel();
    void clearMenu();
    QAction* addItem(const QString& text, const QString& objectName, const QString& symbol = {});
    void addApplicationRow(const std::shared_ptr<Application>& application);
    void addRefreshItem(const QString& text, const QString& objectName);
    void refresh();
    void showUpdates();
    void showApplication();
    void updateAll();
    bool isBusy() const;

    ApplicationStore& m_store;
    SidebarViewModel& m_sidebar;
    DetailViewModel& m_detail;
    AppState& m_appState;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray = nullptr;
    MenuBarLabel m_label;
    QIcon m_labelIcon;
};

} // namespace norvelle
