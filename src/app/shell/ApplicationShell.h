#pragma once

#include "app/DependencyContainer.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace norvelle {

class AppTheme;
class ApplicationMenus;
class CheckForUpdatesViewModel;
class MainWindow;
class MenuBarController;
class OwnUpdateWindow;
class SettingsWindowPresenter;
class SingleInstance;
class SystemClipboard;
class UpdateSheetPresenter;
class UrlOpener;

// The running application over one container: its theme, the main window with the batch-update
// sheet, the menus, the Settings window with About, the own-update window and its updater, and
// the menu-bar extra, wired to each other. Build it on the main thread after the QApplication;
// the caller runs the event loop and then the quit sequence over container().
class ApplicationShell : public QObject {
    Q_OBJECT
public:
    struct Options {
        DependencyContainer::Options container;
        // The bundle the system's own updates replace; empty for none ("Check for Updates…" is
        // then shown disabled).
        QString ownBundlePath;
        // Locations the environment named wrongly, logged once the logger writes.
        QStringList pathProblems;
        // What "Quit Norvelle" does: ends the event loop.
        std::function<void()> quit;
        // This copy's claim on its settings, when it holds one: another start's request to come
        // forward brings the main window forward. Outlives the shell.
        SingleInstance* instance = nullptr;
    };

    // The locations, the extra trusted CA and the own bundle the environment names (the NORVELLE_*
    // variables), and this platform's own seams.
    static Options optionsFrom(const QProcessEnvironment& environment);
    // Says why a start ends without a window: on stderr, and in a dialog too where no terminal
    // shows stderr, nor was it started from one (a start from the desktop's menu).
    static void sayWhyItEnds(const QString& words);

    explicit ApplicationShell(Options options);
    ~ApplicationShell() override;
    ApplicationShell(const ApplicationShell&) = delete;
    ApplicationShell& operator=(const ApplicationShell&) = delete;

    DependencyContainer& container() const { return *m_container; }
    AppTheme& theme() const { return *m_theme; }
    MainWindow& window() const { return *m_window; }
    ApplicationMenus& menus() const { return *m_menus; }
    SettingsWindowPresenter& settingsWindow() const { return *m_settingsWindow; }
    OwnUpdateWindow& ownUpdateWindow() const { return *m_ownUpdateWindow; }
    CheckForUpdatesViewModel& checkForUpdates() const { return *m_checkForUpdates; }
    MenuBarController& menuBar() const { return *m_menuBar; }

private:
    void openAbout();
    void bringWindowForward();

    std::function<void()> m_quit;
    std::shared_ptr<UrlOpener> m_urlOpener;
    // Declared in build order, so they are released in the reverse order: the own updater (held
    // by the check's view model) before the window that is its user interface, everything before
    // the container.
    std::unique_ptr<DependencyContainer> m_container;
    std::unique_ptr<AppTheme> m_theme;
    std::unique_ptr<SystemClipboard> m_clipboard;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<OwnUpdateWindow> m_ownUpdateWindow;
    std::unique_ptr<CheckForUpdatesViewModel> m_checkForUpdates;
    std::unique_ptr<SettingsWindowPresenter> m_settingsWindow;
    std::unique_ptr<ApplicationMenus> m_menus;
    std::unique_ptr<UpdateSheetPresenter> m_updateSheet;
    std::unique_ptr<MenuBarController> m_menuBar;
};

} // namespace norvelle
