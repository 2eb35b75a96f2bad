#include "tst_sidebarworld.h"

#include "FakeUpdater.h"
#include "FakeUrlOpener.h"
#include "RenderToPng.h"

#include "platform/SettingsStore.h"
#include "ui/SymbolIcons.h"
#include "ui/app/AppTheme.h"
#include "ui/app/ApplicationMenus.h"
#include "ui/app/SettingsWindowPresenter.h"
#include "ui/main/MainWindow.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/settings/PermissionsView.h"
#include "ui/settings/SettingsWindow.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// The menus over the main window's test world, wired the way the application wires them.
struct Shell {
    explicit Shell(MainWindowTestWorld& w, std::shared_ptr<Updater> updater = nullptr, HelpLinks links = {})
        : world(w), checkForUpdates(std::move(updater)),
          menus(&menuBar, world.sidebar, world.appState, checkForUpdates, opener, std::move(links))
    {
    }

    QAction* action(const QString& name) const { return menuBar.findChild<QAction*>(name); }

    static QStringList texts(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }

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
    void menusHoldTheirCommandsInOrder()
    {
        MainWindowTestWorld world;
        Shell shell(world);
        QCOMPARE(Shell::texts(shell.menus.applicationMenu()),
                 (QStringList{"About Norvelle", "-", "Settings...", "Check for Updates…", "-", "Quit Norvelle"}));
        QCOMPARE(Shell::texts(shell.menus.viewMenu()),
                 (QStringList{"Show Welcome Tour", "-", "All", "Updates", "Adoptable", "-", "Brew", "App Store",
                              "Sparkle", "-", "Ignored"}));
        QCOMPARE(Shell::texts(shell.menus.helpMenu()), (QStringList{"Contact Support...", "Report an Issue..."}));

        // On a Mac the roles put these into the application menu.
        QCOMPARE(shell.action("actionSettings")->menuRole(), QAction::PreferencesRole);
        QCOMPARE(shell.action("actionSettings")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(shell.action("actionQuit")->menuRole(), QAction::QuitRole);
        QCOMPARE(shell.action("actionAbout")->menuRole(), QAction::AboutRole);
        QVERIFY(shell.action("actionShowWelcomeTour")->shortcut().isEmpty());

        QSignalSpy settings(&shell.menus, &ApplicationMenus::settingsRequested);
        shell.action("actionSettings")->trigger();
        QCOMPARE(settings.size(), 1);

        world.appState.setHasCompletedWelcomeTour(true);
        shell.action("actionShowWelcomeTour")->trigger();
        QVERIFY(!world.appState.hasCompletedWelcomeTour());
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
        QTest::newRow("the shipped addresses") << HelpLinks().supportMail << HelpLinks().issuePage
                                               << QStringList{HelpLinks().supportMail, HelpLinks().issuePage};
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

    void checkForUpdatesFollowsTheUpdater()
    {
        MainWindowTestWorld world;
        auto updater = std::make_shared<FakeUpdater>(true);
        Shell shell(world, updater);
        QAction* item = shell.action("actionCheckForUpdates");
        QVERIFY(item->isEnabled());
        item->trigger();
        QCOMPARE(updater->checkCount(), 1);
        updater->setCanCheck(false);
        QTRY_VERIFY(!item->isEnabled());
        updater->setCanCheck(true);
        QTRY_VERIFY(item->isEnabled());

        // A build without an updater of its own shows the item, disabled.
        MainWindowTestWorld bare;
        Shell noUpdater(bare);
        QVERIFY(!noUpdater.action("actionCheckForUpdates")->isEnabled());
    }

    // The gear and "Permission Required" reach the one window, made once and shown again after
    // closing; after switching the permission on there, the application can be updated.
    void everyOpenerReachesTheSettingsWindow()
    {
        MainWindowTestWorld world;
        world.appState.setHasCompletedWelcomeTour(true);
        world.appState.setHasAppManagementPermission(false);
        world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*")));
        MainWindow window(world.viewEnvironment());
        SettingsWindowPresenter presenter(world.settingsViewModel, world.appState, world.settings.store(), {});
        connect(&window, &MainWindow::openWindowRequested, &presenter, &SettingsWindowPresenter::openWindow);
        window.show();

        auto* gear = window.findChild<QPushButton*>(QStringLiteral("settingsButton"));
        QVERIFY(gear);
        gear->click();
        SettingsWindow* settings = presenter.window();
        QVERIFY(settings && settings->isVisible());
        QCOMPARE(world.settingsViewModel.selectedCategory(), SettingsViewModel::SettingsCategory::preferences);
        presenter.open();
        QCOMPARE(presenter.window(), settings);
        QCOMPARE(QApplication::topLevelWidgets().count(settings), 1);
        settings->close();

        auto* primary = window.findChild<QPushButton*>(QStringLiteral("primaryButton"));
        QTRY_COMPARE(primary->text(), QStringLiteral("Permission Required"));
        primary->click();
        QCOMPARE(presenter.window(), settings);
        QVERIFY(settings->isVisible());
        QVERIFY(qobject_cast<PermissionsView*>(presenter.window()->currentPage()));

        auto* toggle = presenter.window()->findChild<QAbstractButton*>(QStringLiteral("appManagementToggle"));
        QVERIFY(toggle);
        toggle->click();
        QVERIFY(world.appState.hasAppManagementPermission());
        QTRY_COMPARE(primary->text(), QStringLiteral("Update"));

        presenter.openWindow(QStringLiteral("about"));
        QVERIFY(world.log.contains(Logger::Level::warning, "No window with id 'about' to open"));
    }

    // Light and Dark reach the application's palette, so every window, dialog and menu made
    // before or after the switch, and icons and text styles follow it.
    void themeReachesEveryWindow()
    {
        MainWindowTestWorld world;
        world.appState.setHasCompletedWelcomeTour(true);
        world.select(MainWindowTestWorld::app(QStringLiteral("Alpha*")));
        AppTheme theme(world.settings.store());
        MainWindow window(world.viewEnvironment());
        Shell shell(world);
        SettingsWindowPresenter presenter(world.settingsViewModel, world.appState, world.settings.store(), {});
        presenter.open();
        const QIcon gear = SymbolIcons::icon(QStringLiteral("gearshape"));
        QLabel secondary;
        setTextColor(&secondary, SystemColors::secondary());

        for (const QString& stored : {QStringLiteral("Dark"), QStringLiteral("Light"), QStringLiteral("Dark")}) {
            world.settings.store().setSelectedTheme(stored);
            const bool dark = stored == QLatin1String("Dark");
            QCOMPARE(theme.appliedTheme(), dark ? Theme::dark : Theme::light);
            QMessageBox dialog;
            for (const QWidget* widget : {static_cast<QWidget*>(&window), static_cast<QWidget*>(presenter.window()),
                                          static_cast<QWidget*>(shell.menus.viewMenu()),
                                          static_cast<QWidget*>(&dialog)}) {
                QVERIFY2(isDark(widget->palette().color(QPalette::Window)) == dark, widget->metaObject()->className());
                QCOMPARE(isDark(widget->palette().color(QPalette::WindowText)), !dark);
            }
            QCOMPARE(inkLightness(gear) > 128, dark);
            QCOMPARE(secondary.palette().color(QPalette::WindowText), SystemColors::secondary());
            renderToPng(&window, QStringLiteral("shell-main-") + stored.toLower(), QSize(860, 500));
            renderToPng(presenter.window(), QStringLiteral("shell-settings-") + stored.toLower());
            renderToPng(shell.menus.viewMenu(), QStringLiteral("shell-viewmenu-") + stored.toLower());
        }
        world.settings.store().setSelectedTheme(QStringLiteral("Automatic"));
        QCOMPARE(theme.appliedTheme(), Theme::system);
    }
};

QTEST_MAIN(TestApplicationShell)
#include "tst_applicationshell.moc"
