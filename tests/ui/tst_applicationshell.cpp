#include "tst_sidebarworld.h"

#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "FakeUrlOpener.h"
#include "FixtureServer.h"
#include "RenderToPng.h"
#include "TempRoot.h"
#include "UpdaterFixture.h"

#include "app/shell/ApplicationShell.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "platform/updater/InstallStaging.h"
#include "services/ApplicationStore.h"
#include "ui/SymbolIcons.h"
#include "ui/app/AppTheme.h"
#include "ui/app/ApplicationMenus.h"
#include "ui/app/OwnUpdateWindow.h"
#include "ui/app/SettingsWindowPresenter.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MenuBarController.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/settings/SettingsWindow.h"
#include "util/Async.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace norvelle;
using namespace norvelle::test;
using Step = OwnUpdateWindow::Step;

Q_DECLARE_METATYPE(norvelle::OwnUpdateWindow::Step)

namespace {

// The application as main builds it, from the NORVELLE_* variables of a world under a temporary
// root: one Sparkle application and the own bundle, whose feeds are on a loopback https server
// whose CA only NORVELLE_CA_FILE names. The platform's seams are fakes and "Quit" is counted.
struct Running {
    explicit Running(const QString& ownBundleVersion = QStringLiteral("1.0"))
    {
        // One application whose feed on the same server offers an update.
        const QString alpha = UpdaterFixture::writeBundle(
            root.filePath(QStringLiteral("Applications")), QStringLiteral("Alpha.app"),
            UpdaterFixture::info(QStringLiteral("com.example.alpha"), QStringLiteral("1.0"),
                                 {{"SUFeedURL", server.url("/alpha.xml").toString()}}));
        {
            // What an update of it killed earlier left; its lock goes with it, as a killed
            // process's does, before the sweep can find the folder held by a running install.
            InstallStaging killed(alpha);
            killed.leaveToSweep();
            leftover = killed.path();
        }
        server.route("/alpha.xml", FixtureServer::Reply{200, UpdaterFixture::appcast({{"2.0", "2.0", "Alpha.zip",
                                                                                      "c2lnbmF0dXJl", 100}})});
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("NORVELLE_ROOT"), root.path());
        environment.insert(QStringLiteral("NORVELLE_CA_FILE"), FixtureServer::testCaFile());
        if (!ownBundleVersion.isEmpty())
            environment.insert(
                QStringLiteral("NORVELLE_OWN_BUNDLE"),
                UpdaterFixture::writeBundle(root.filePath(QStringLiteral("Own")), QStringLiteral("Norvelle.app"),
                                            UpdaterFixture::info(QStringLiteral("com.norvelle.Norvelle"),
                                                                 ownBundleVersion,
                                                                 {{"SUFeedURL", server.url("/appcast.xml").toString()}})));
        ApplicationShell::Options options = ApplicationShell::optionsFrom(environment);
        options.container.urlOpener = opener;
        options.container.dockBadge = std::make_shared<FakeDockBadge>();
        options.container.networkProbe = std::make_shared<FakeNetworkProbe>(FakeNetworkProbe::Mode::up);
        options.container.terminalLauncher = std::make_shared<FakeTerminalLauncher>();
        options.quit = [this] { ++quits; };
        instance = std::make_unique<SingleInstance>(SingleInstance::settingsFileOf(options.container.paths));
        if (instance->claim() == SingleInstance::Claim::claimed)
            options.instance = instance.get();
        shell = std::make_unique<ApplicationShell>(std::move(options));
    }

    DependencyContainer& container() const { return shell->container(); }
    // An action of the menus or of the menu-bar extra's menu.
    QAction* action(const QString& name) const
    {
        if (auto* action = shell->window().menuBar()->findChild<QAction*>(name))
            return action;
        for (QAction* action : shell->menuBar().menu()->actions())
            if (action->objectName() == name)
                return action;
        return nullptr;
    }

    // The run's work ends before its objects go, as on quitting.
    ~Running()
    {
        const SidebarViewModel& sidebar = container().sidebarViewModel();
        if (!QTest::qWaitFor([&] {
                return !sidebar.isDiscovering() && !sidebar.isCheckingUpdates() &&
                       ioPool().activeThreadCount() == 0 && networkPool().activeThreadCount() == 0;
            }, 20000))
            qWarning("The run's work did not end");
    }

    // Past the tour, with the first discovery and check over and Alpha selected. False when
    // they do not end or find no update.
    [[nodiscard]] bool showAlpha() const
    {
        container().appState().setHasCompletedWelcomeTour(true);
        ApplicationStore& store = container().store();
        if (!QTest::qWaitFor([&] {
                return store.lastUpdateCheck() && !container().sidebarViewModel().isCheckingUpdates();
            }, 20000) || store.applications().size() != 1 || !store.applications().first()->update())
            return false;
        store.setSelectedApplicationId(store.applications().first()->id());
        return true;
    }

    TempRoot root;
    FixtureServer server{FixtureServer::Tls::on};
    std::shared_ptr<FakeUrlOpener> opener = std::make_shared<FakeUrlOpener>();
    int quits = 0;
    QString leftover;
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<ApplicationShell> shell;
};

QStringList texts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// The menus alone, over the main window's test world, for the rules of their own commands.
struct Shell {
    explicit Shell(MainWindowTestWorld& w, std::shared_ptr<Updater> updater = nullptr, HelpLinks links = {})
        : world(w), checkForUpdates(std::move(updater)),
          menus(&menuBar, world.sidebar, world.appState, checkForUpdates, opener, std::move(links))
    {
    }

    QAction* action(const QString& name) const { return menuBar.findChild<QAction*>(name); }

    MainWindowTestWorld& world;
    std::shared_ptr<FakeUrlOpener> opener = std::make_shared<FakeUrlOpener>();
    CheckForUpdatesViewModel checkForUpdates;
    QMenuBar menuBar;
    ApplicationMenus menus;
};

bool isDark(const QColor& color)
{
    return color.lightness() < 128;
}

// The middle of the opaque pixels' lightness tells the ink an icon was drawn with.
int inkLightness(const QIcon& icon)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    int darkest = 256;
    int lightest = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() >= 250) {
                darkest = std::min(darkest, pixel.lightness());
                lightest = std::max(lightest, pixel.lightness());
            }
    return lightest < 0 ? -1 : (darkest + lightest) / 2;
}

} // namespace

class TestApplicationShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }

    void menusHoldTheirCommandsInOrder()
    {
        Running app;
        const ApplicationMenus& menus = app.shell->menus();
        QCOMPARE(texts(menus.applicationMenu()),
                 (QStringList{"About Norvelle", "-", "Settings...", "Check for Updates…", "-", "Quit Norvelle"}));
        QCOMPARE(texts(menus.viewMenu()),
                 (QStringList{"Show Welcome Tour", "-", "All", "Updates", "Adoptable", "-", "Brew", "App Store",
                              "Sparkle", "-", "Ignored"}));
        QCOMPARE(texts(menus.helpMenu()), (QStringList{"Contact Support...", "Report an Issue..."}));

        QCOMPARE(app.action("actionSettings")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QVERIFY(app.action("actionShowWelcomeTour")->shortcut().isEmpty());

        app.container().appState().setHasCompletedWelcomeTour(true);
        app.action("actionShowWelcomeTour")->trigger();
        QVERIFY(!app.container().appState().hasCompletedWelcomeTour());
        QTRY_VERIFY(!QFileInfo::exists(app.leftover)); // swept once the window is up
    }

    void commandsReachTheirWindows_data()
    {
        QTest::addColumn<QString>("command"); // an action of the menus, or a button of the window
        QTest::addColumn<QString>("page");    // the Settings page shown; empty: no Settings window
        QTest::addColumn<bool>("shown");      // the main window, hidden before an action, is shown
        QTest::addColumn<int>("quits");
        // How the main window was put away before: hidden, or minimized (and so left shown).
        QTest::addColumn<int>("lowered");
        const int hidden = Qt::WindowNoState, minimized = Qt::WindowMinimized;
        const int maximized = Qt::WindowMaximized | Qt::WindowMinimized;
        QTest::newRow("Settings...") << "actionSettings" << "preferences" << false << 0 << hidden;
        QTest::newRow("About Norvelle") << "actionAbout" << "about" << false << 0 << hidden;
        QTest::newRow("the detail pane's gear") << "settingsButton" << "preferences" << true << 0 << hidden;
        QTest::newRow("Permission Required") << "primaryButton" << "permissions" << true << 0 << hidden;
        QTest::newRow("Quit Norvelle") << "actionQuit" << "" << false << 1 << hidden;
        QTest::newRow("the menu-bar extra's Show") << "menuBarShowNorvelle" << "" << true << 0 << hidden;
        QTest::newRow("the menu-bar extra's Show, minimized")
            << "menuBarShowNorvelle" << "" << true << 0 << minimized;
        QTest::newRow("the menu-bar extra's Quit") << "menuBarQuit" << "" << false << 1 << hidden;
        QTest::newRow("a second start on the same settings") << "secondStart" << "" << true << 0 << hidden;
        QTest::newRow("a second start, minimized from maximized")
            << "secondStart" << "" << true << 0 << maximized;
    }

    // Every command reaches the one Settings window (made once, shown again after closing) on
    // its page, brings the main window back, or ends the run.
    void commandsReachTheirWindows()
    {
        QFETCH(QString, command);
        QFETCH(QString, page);
        QFETCH(bool, shown);
        QFETCH(int, quits);
        QFETCH(int, lowered);
        Running app;
        app.container().appState().setHasAppManagementPermission(false);
        QVERIFY(app.showAlpha());
        SettingsWindowPresenter& settings = app.shell->settingsWindow();
        MainWindow& main = app.shell->window();
        const auto lower = [&] {
            if (lowered == Qt::WindowNoState)
                return main.hide();
            main.setWindowState(Qt::WindowStates(lowered));
            QTRY_VERIFY(main.isMinimized());
        };
        const auto trigger = [&] {
            if (command == QStringLiteral("secondStart")) {
                lower();
                SingleInstance second(app.instance->settingsFile());
                QCOMPARE(second.claim(), SingleInstance::Claim::heldElsewhere);
                QVERIFY(second.requestActivation());
                QTRY_VERIFY(main.isVisible() && !main.isMinimized());
                return;
            }
            if (QAction* action = app.action(command)) {
                lower();
                return action->trigger();
            }
            QPushButton* button = nullptr;
            QTRY_VERIFY((button = main.findChild<QPushButton*>(command)) && button->isVisible() &&
                        button->text() != QStringLiteral("Update"));
            button->click();
        };

        trigger();
        QCOMPARE(app.quits, quits);
        QCOMPARE(main.isVisible(), shown);
        // Restored, in the state it had before it was minimized.
        QCOMPARE(int(main.windowState()), shown ? lowered & ~Qt::WindowMinimized : lowered);
        QCOMPARE(settings.window() != nullptr, !page.isEmpty());
        if (page.isEmpty())
            return;
        SettingsWindow* window = settings.window();
        QVERIFY(window->isVisible());
        QCOMPARE(QVariant::fromValue(app.container().settingsViewModel().selectedCategory()).toString(), page);
        window->close();
        trigger();
        QCOMPARE(settings.window(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(QApplication::topLevelWidgets().count(window), 1);
    }

    void filterCommands_data()
    {
        QTest::addColumn<QKeySequence>("shortcut"); // the action is "actionFilter" and the tag
        QTest::addColumn<ApplicationFilter>("filter");
        QTest::newRow("All") << QKeySequence("Ctrl+1") << ApplicationFilter::all;
        QTest::newRow("Updates") << QKeySequence("Ctrl+2") << ApplicationFilter::updates;
        QTest::newRow("Adoptable") << QKeySequence("Ctrl+3") << ApplicationFilter::adoptable;
        QTest::newRow("Brew") << QKeySequence("Ctrl+4") << ApplicationFilter::brew;
        QTest::newRow("AppStore") << QKeySequence("Ctrl+5") << ApplicationFilter::appStore;
        QTest::newRow("Sparkle") << QKeySequence("Ctrl+6") << ApplicationFilter::sparkle;
        QTest::newRow("Ignored") << QKeySequence("Ctrl+7") << ApplicationFilter::ignored;
    }

    // Each command sets its filter and shows it checked; choosing the current one again
    // notifies nobody; a filter chosen elsewhere is checked here too.
    void filterCommands()
    {
        QFETCH(QKeySequence, shortcut);
        QFETCH(ApplicationFilter, filter);
        MainWindowTestWorld world;
        Shell shell(world);
        QAction* command = shell.action(QStringLiteral("actionFilter") + QLatin1String(QTest::currentDataTag()));
        QVERIFY(command && !command->icon().isNull());
        QCOMPARE(command->shortcut(), shortcut);

        world.sidebar.setCurrentFilter(filter == ApplicationFilter::all ? ApplicationFilter::ignored
                                                                        : ApplicationFilter::all);
        QVERIFY(!command->isChecked());
        QSignalSpy changes(&world.sidebar, &SidebarViewModel::currentFilterChanged);
        command->trigger();
        QCOMPARE(world.sidebar.currentFilter(), filter);
        QVERIFY(command->isChecked());
        command->trigger();
        QCOMPARE(changes.size(), 1);
        QVERIFY(command->isChecked());

        world.sidebar.setCurrentFilter(filter == ApplicationFilter::all ? ApplicationFilter::updates
                                                                        : ApplicationFilter::all);
        QVERIFY(!command->isChecked());
    }

    void helpLinks_data()
    {
        QTest::addColumn<QString>("support");
        QTest::addColumn<QString>("issues");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("unparsable") << "mailto:support@norvelle.app" << "https://exa mple.org/%zz"
                                    << QStringList{"mailto:support@norvelle.app"};
        QTest::newRow("no scheme") << "support at norvelle" << "/issues" << QStringList{};
    }

    // Addresses that do not parse open nothing and are logged.
    void helpLinks()
    {
        QFETCH(QString, support);
        QFETCH(QString, issues);
        QFETCH(QStringList, opened);
        MainWindowTestWorld world;
        Shell shell(world, nullptr, HelpLinks{support, issues});
        shell.action("actionContactSupport")->trigger();
        shell.action("actionReportIssue")->trigger();
        QStringList urls;
        for (const QUrl& url : shell.opener->opened())
            urls.append(url.toString());
        QCOMPARE(urls, opened);
        const int refused = 2 - static_cast<int>(opened.size());
        int logged = 0;
        for (const auto& line : world.log.lines())
            logged += line.first == Logger::Level::error &&
                      line.second.startsWith(QLatin1String("Cannot open the link, it is not a valid address: "));
        QCOMPARE(logged, refused);
    }

    void ownUpdateCheck_data()
    {
        QTest::addColumn<QString>("installed"); // the own bundle's version; empty: none
        QTest::addColumn<Step>("shown");
        QTest::addColumn<QString>("title");
        QTest::newRow("update found") << "1.0" << Step::found << "A new version of Norvelle is available!";
        QTest::newRow("up to date") << "1.1" << Step::notFound << "You’re up to date!";
        QTest::newRow("no bundle of its own") << "" << Step::idle << "";
    }

    // "Check for Updates…" reaches the own bundle's https feed through the application's HTTP
    // engine, which trusts the CA of NORVELLE_CA_FILE; the item is disabled while the check runs.
    void ownUpdateCheck()
    {
        QFETCH(QString, installed);
        QFETCH(Step, shown);
        QFETCH(QString, title);
        Running app(installed);
        app.server.route("/appcast.xml",
                         FixtureServer::Reply{200, UpdaterFixture::appcast({{"1.1", "1.1", "Norvelle-1.1.zip",
                                                                             "c2lnbmF0dXJl", 100}})});
        QAction* item = app.action("actionCheckForUpdates");
        OwnUpdateWindow& window = app.shell->ownUpdateWindow();
        QCOMPARE(item->isEnabled(), !installed.isEmpty());
        item->trigger();
        if (installed.isEmpty()) {
            QCOMPARE(window.step(), Step::idle);
            QVERIFY(app.server.requests().isEmpty());
            return;
        }
        QTRY_VERIFY(!item->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(window.step(), shown, 20000);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("ownUpdateTitle"))->text(), title);
        QCOMPARE(app.server.requests("/appcast.xml").size(), 1);
        window.reject();
        QTRY_COMPARE(window.step(), Step::idle);
        QTRY_VERIFY(item->isEnabled());
    }

    void aStartThatEndsSaysWhy_data()
    {
        QTest::addColumn<int>("terminal"); // the descriptor on a terminal, -1 none
        QTest::newRow("from the desktop's menu") << -1;
        QTest::newRow("from a terminal, stderr to a file") << STDIN_FILENO;
        QTest::newRow("stderr to a terminal") << STDERR_FILENO;
    }
    // Where no terminal shows stderr (a start from the desktop's menu), a start that ends without
    // a window says why in a dialog.
    void aStartThatEndsSaysWhy()
    {
        QFETCH(int, terminal);
        const int pty = ::posix_openpt(O_RDWR | O_NOCTTY),
                  kept[] = {::dup(STDIN_FILENO), ::dup(STDERR_FILENO)};
        const auto restored = qScopeGuard([&] {
            ::dup2(kept[0], STDIN_FILENO);
            ::dup2(kept[1], STDERR_FILENO);
            for (const int fd : {pty, kept[0], kept[1]})
                ::close(fd);
        });
        QVERIFY(pty >= 0 && ::grantpt(pty) == 0 && ::unlockpt(pty) == 0);
        for (const int fd : {STDIN_FILENO, STDERR_FILENO}) {
            const int opened = ::open(fd == terminal ? ::ptsname(pty) : "/dev/null", O_RDWR | O_NOCTTY);
            QVERIFY(::dup2(opened, fd) == fd && ::close(opened) == 0);
        }
        const QString words = QStringLiteral("Norvelle on <b>elsewhere</b> holds the settings");
        QString shown;
        const QObject context;
        QTimer::singleShot(0, &context, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (box->objectName() == QLatin1String("startEndsBox") && box->textFormat() == Qt::PlainText)
                    shown = box->text();
                box->close();
            }
        });
        ApplicationShell::sayWhyItEnds(words);
        QCOMPARE(shown, terminal < 0 ? words : QString());
    }

    // Light and Dark reach the application's palette, so every window, dialog and menu made
    // before or after the switch, and icons and text styles follow it.
    void themeReachesEveryWindow()
    {
        Running app;
        QVERIFY(app.showAlpha());
        SettingsStore& settings = app.container().settings();
        const AppTheme& theme = app.shell->theme();
        MainWindow& window = app.shell->window();
        SettingsWindowPresenter& presenter = app.shell->settingsWindow();
        presenter.open();
        const QIcon gear = SymbolIcons::icon(QStringLiteral("gearshape"));
        QLabel secondary;
        setTextColor(&secondary, SystemColors::secondary());

        for (const QString& stored : {QStringLiteral("Dark"), QStringLiteral("Light"), QStringLiteral("Dark")}) {
            settings.setSelectedTheme(stored);
            const bool dark = stored == QLatin1String("Dark");
            QCOMPARE(theme.appliedTheme(), dark ? Theme::dark : Theme::light);
            QMessageBox dialog;
            for (const QWidget* widget :
                 {static_cast<QWidget*>(&window), static_cast<QWidget*>(presenter.window()),
                  static_cast<QWidget*>(app.shell->menus().viewMenu()),
                  static_cast<QWidget*>(&app.shell->ownUpdateWindow()), static_cast<QWidget*>(&dialog)}) {
                QVERIFY2(isDark(widget->palette().color(QPalette::Window)) == dark, widget->metaObject()->className());
                QCOMPARE(isDark(widget->palette().color(QPalette::WindowText)), !dark);
            }
            QCOMPARE(inkLightness(gear) > 128, dark);
            QCOMPARE(secondary.palette().color(QPalette::WindowText), SystemColors::secondary());
            renderToPng(&window, QStringLiteral("shell-main-") + stored.toLower(), QSize(860, 500));
            renderToPng(presenter.window(), QStringLiteral("shell-settings-") + stored.toLower());
            renderToPng(app.shell->menus().viewMenu(), QStringLiteral("shell-viewmenu-") + stored.toLower());
        }
        settings.setSelectedTheme(QStringLiteral("Automatic"));
        QCOMPARE(theme.appliedTheme(), Theme::system);
    }
};

QTEST_MAIN(TestApplicationShell)
#include "tst_applicationshell.moc"
