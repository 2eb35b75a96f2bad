#pragma once

#include "viewmodels/ApplicationFilter.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QWidget;

namespace norvelle {

class AppState;
class CheckForUpdatesViewModel;
class SidebarViewModel;
class UrlOpener;

// The addresses behind the Help menu.
struct HelpLinks {
    QString supportMail = QStringLiteral("mailto:support@norvelle.app");
    QString issuePage = QStringLiteral("https://norvelle.app/issues/new");
};

// The menu bar's commands: the application menu ("About Norvelle", "Settings...", "Check for
// Updates…", "Quit Norvelle"), the View menu ("Show Welcome Tour" and the seven sidebar
// filters) and the Help menu ("Contact Support...", "Report an Issue..."). Menu roles move the
// application items into the application menu on a Mac, where Ctrl in a shortcut is Command.
class ApplicationMenus : public QObject {
    Q_OBJECT
public:
    // One filter command of the View menu.
    struct FilterItem {
        QString title;
        QString symbol;
        QKeySequence shortcut;
        ApplicationFilter filter;
        int section;
    };
    static QList<FilterItem> filterItems();

    // The address a link text stands for: none when it does not parse as an absolute URL.
    static std::optional<QUrl> parsedLink(const QString& text);

    // Fills `menuBar`; every collaborator must outlive this object. `urlOpener` may be null.
    ApplicationMenus(QMenuBar* menuBar, SidebarViewModel& sidebarViewModel, AppState& appState,
                     CheckForUpdatesViewModel& checkForUpdates, std::shared_ptr<UrlOpener> urlOpener,
                     HelpLinks links = HelpLinks(), QObject* parent = nullptr);
    ~ApplicationMenus() override;

    QMenu* applicationMenu() const { return m_applicationMenu; }
    QMenu* viewMenu() const { return m_viewMenu; }
    QMenu* helpMenu() const { return m_helpMenu; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    void aboutRequested();
    void settingsRequested();
    void quitRequested();

private:
    void buildApplicationMenu(QMenuBar* menuBar, CheckForUpdatesViewModel& checkForUpdates);
    void buildViewMenu(QMenuBar* menuBar);
    void buildHelpMenu(QMenuBar* menuBar);
    void syncFilter();
    void setIcons();
    void openLink(const QString& text);

    SidebarViewModel& m_sidebarViewModel;
    AppState& m_appState;
    std::shared_ptr<UrlOpener> m_urlOpener;
    HelpLinks m_links;
    QMenu* m_applicationMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QActionGroup* m_filterGroup = nullptr;
    QList<QAction*> m_filterActions;
    QAction* m_showTour = nullptr;
    QWidget* m_menuBarWindow = nullptr;
    QList<QAction*> m_everywhere;
};

} // namespace norvelle
