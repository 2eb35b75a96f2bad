#include "../viewmodels/ViewModelTestWorld.h"
#include "RenderToPng.h"
#include "ui/main/MenuBarController.h"
#include "ui/main/MenuBarIcon.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

// "Name" plain; a trailing "*" gives it an update, a trailing "!" ignores it.
ApplicationList appsFrom(const QStringList& entries)
{
    ApplicationList list;
    for (QString entry : entries) {
        const bool ignored = entry.endsWith(QLatin1Char('!'));
        if (ignored)
            entry.chop(1);
        const bool hasUpdate = entry.endsWith(QLatin1Char('*'));
        if (hasUpdate)
            entry.chop(1);
        auto app = makeApp(entry, hasUpdate ? std::optional(makeUpdate(QStringLiteral("2.0"))) : std::nullopt);
        app->setIgnored(ignored);
        list.append(app);
    }
    return list;
}

QStringList withUpdates(int count)
{
    QStringList entries;
    for (int i = 1; i <= count; ++i)
        entries.append(QStringLiteral("App%1*").arg(i));
    return entries;
}

// The menu as lines: "---" for a separator, else the item's text, with " (off)" when disabled.
QStringList layoutOf(const QMenu* menu)
{
    QStringList lines;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            lines.append(QStringLiteral("---"));
        else
            lines.append(action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    }
    return lines;
}

QAction* item(const MenuBarController& controller, const QString& objectName, int index = 0)
{
    QList<QAction*> found;
    for (QAction* action : controller.menu()->actions())
        if (action->objectName() == objectName)
            found.append(action);
    return index < found.size() ? found.at(index) : nullptr;
}

struct MenuBarWorld : ViewModelTestWorld {
    MenuBarWorld() { appState.setHasCompletedWelcomeTour(true); }
    MenuBarController controller{store, sidebar, detail, appState};
};

} // namespace

class TestMenuBar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labelRules_data()
    {
        using K = MenuBarLabel::Kind;
        QTest::addColumn<bool>("tourDone");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<int>("count");
        QTest::addColumn<MenuBarLabel::Kind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qreal>("opacity");
        QTest::newRow("tour not done") << false << false << 3 << K::empty << "" << 1.0;
        QTest::newRow("tour not done, busy") << false << true << 3 << K::empty << "" << 1.0;
        QTest::newRow("busy wins over count") << true << true << 3 << K::progress << "" << 1.0;
        QTest::newRow("count") << true << false << 3 << K::count << "3" << 1.0;
        QTest::newRow("none is dimmed") << true << false << 0 << K::idle << "" << 0.5;
    }

    void labelRules()
    {
        QFETCH(bool, tourDone);
        QFETCH(bool, busy);
        QFETCH(int, count);
        QFETCH(MenuBarLabel::Kind, kind);
        QFETCH(QString, text);
        QFETCH(qreal, opacity);
        const MenuBarLabel label = MenuBarLabel::from(tourDone, busy, count);
        QCOMPARE(label.kind, kind);
        QCOMPARE(label.text(), text);
        QCOMPARE(label.opacity(), opacity);
    }

    // The label follows the tour flag, the busy flags and the store without being asked.
    void labelFollowsState()
    {
        MenuBarWorld world;
        world.appState.setHasCompletedWelcomeTour(false);
        QCOMPARE(world.controller.label().kind, MenuBarLabel::Kind::empty);
        QVERIFY(world.controller.labelIcon().isNull());

        world.store.setApplications(appsFrom(withUpdates(5) + QStringList{"Ign1*!", "Ign2*!", "Plain"}));
        world.appState.setHasCompletedWelcomeTour(true);
        QCOMPARE(world.controller.label(), (MenuBarLabel{MenuBarLabel::Kind::count, 5}));
        QVERIFY(!world.controller.labelIcon().isNull());

        world.sidebar.setIsCheckingUpdates(true);
        QCOMPARE(world.controller.label().kind, MenuBarLabel::Kind::progress);
        world.sidebar.setIsCheckingUpdates(false);
        world.store.applications().first()->setIgnored(true);
        QCOMPARE(world.controller.label().text(), QStringLiteral("4"));
        for (const auto& app : world.store.applications())
            app->setUpdate(std::nullopt);
        QCOMPARE(world.controller.label().kind, MenuBarLabel::Kind::idle);

        world.appState.setHasCompletedWelcomeTour(false);
        QCOMPARE(world.controller.label().kind, MenuBarLabel::Kind::empty);
        // No tray host offscreen; the controller works without one.
        QCOMPARE(world.controller.trayIcon(), nullptr);
    }

    void menuLayout_data()
    {
        QTest::addColumn<QStringList>("apps");
        QTest::addColumn<QStringList>("expected");
        const QStringList tail{"---", "Show Norvelle", "---", "Update All...", "Refresh", "---", "Quit"};
        QTest::newRow("none") << QStringList{"Plain", "Ignored*!"}
                              << QStringList{"Check for Updates", "---", "No updates available (off)", "---", "Quit"};
        QTest::newRow("one") << QStringList{"Solo*", "Plain"}
                             << QStringList{"1 Update Available (off)", "Solo"} + tail;
        QTest::newRow("five") << withUpdates(5)
                              << QStringList{"5 Updates Available (off)", "App1", "---", "App2", "---", "App3", "---",
                                             "App4", "---", "App5"} + tail;
        QTest::newRow("six") << withUpdates(6)
                             << QStringList{"6 Updates Available (off)", "App1", "---", "App2", "---", "App3", "---",
                                            "App4", "---", "App5", "---", "+ 1 more"} + tail;
        QTest::newRow("eight, ignored skipped")
            << QStringList{"Skip*!"} + withUpdates(8)
            << QStringList{"8 Updates Available (off)", "App1", "---", "App2", "---", "App3", "---", "App4", "---",
                           "App5", "---", "+ 3 more"} + tail;
        QTest::newRow("name shown verbatim") << QStringList{"Tom & Jerry*"}
                                             << QStringList{"1 Update Available (off)", "Tom && Jerry"} + tail;
    }

    void menuLayout()
    {
        QFETCH(QStringList, apps);
        QFETCH(QStringList, expected);
        MenuBarWorld world;
        world.store.setApplications(appsFrom(apps));
        QCOMPARE(layoutOf(world.controller.menu()), expected);
    }

    // Only the two refresh items wait for a running discovery or check.
    void refreshItemsDisabledWhileBusy_data()
    {
        QTest::addColumn<int>("updates");
        QTest::addColumn<QString>("refreshItem");
        QTest::addColumn<bool>("discovering");
        QTest::newRow("empty, discovering") << 0 << "menuBarCheckForUpdates" << true;
        QTest::newRow("empty, checking") << 0 << "menuBarCheckForUpdates" << false;
        QTest::newRow("listed, discovering") << 2 << "menuBarRefresh" << true;
        QTest::newRow("listed, checking") << 2 << "menuBarRefresh" << false;
    }

    void refreshItemsDisabledWhileBusy()
    {
        QFETCH(int, updates);
        QFETCH(QString, refreshItem);
        QFETCH(bool, discovering);
        MenuBarWorld world;
        world.store.setApplications(appsFrom(withUpdates(updates)));
        QVERIFY(item(world.controller, refreshItem)->isEnabled());
        if (discovering)
            world.sidebar.setIsDiscovering(true);
        else
            world.sidebar.setIsCheckingUpdates(true);
        QVERIFY(!item(world.controller, refreshItem)->isEnabled());
        for (const QAction* action : world.controller.menu()->actions())
            if (action->objectName() != refreshItem && !action->isSeparator() &&
                action->objectName() != QLatin1String("menuBarNoUpdates") &&
                action->objectName() != QLatin1String("menuBarUpdatesHeader"))
                QVERIFY2(action->isEnabled(), qPrintable(action->text()));
        world.sidebar.setIsDiscovering(false);
        world.sidebar.setIsCheckingUpdates(false);
        QVERIFY(item(world.controller, refreshItem)->isEnabled());
    }

    void progressIndicator_data()
    {
        QTest::addColumn<int>("updateStatus");   // -1: no record
        QTest::addColumn<int>("adoptionStatus"); // -1: no record
        QTest::addColumn<bool>("indicator");
        using U = UpdateProgress::Status;
        using A = AdoptionProgress::Status;
        QTest::newRow("nothing") << -1 << -1 << false;
        for (U status : {U::queued, U::downloading, U::installing, U::verifying})
            QTest::addRow("update %d", int(status)) << int(status) << -1 << true;
        for (U status : {U::completed, U::failed, U::cancelled})
            QTest::addRow("settled update %d", int(status)) << int(status) << -1 << false;
        for (A status : {A::queued, A::downloading, A::adopting, A::verifying})
            QTest::addRow("adoption %d", int(status)) << -1 << int(status) << true;
        for (A status : {A::completed, A::failed, A::cancelled})
            QTest::addRow("settled adoption %d", int(status)) << -1 << int(status) << false;
    }

    void progressIndicator()
    {
        QFETCH(int, updateStatus);
        QFETCH(int, adoptionStatus);
        QFETCH(bool, indicator);
        MenuBarWorld world;
        const ApplicationList apps = appsFrom({"Busy*", "Other*"});
        world.store.setApplications(apps);
        if (updateStatus >= 0) {
            UpdateProgress progress;
            progress.application = apps.at(0);
            progress.status = static_cast<UpdateProgress::Status>(updateStatus);
            world.detail.setUpdateProgress(progress);
        }
        if (adoptionStatus >= 0) {
            AdoptionProgress progress;
            progress.application = apps.at(0);
            progress.status = static_cast<AdoptionProgress::Status>(adoptionStatus);
            world.detail.setAdoptionProgress(progress);
        }
        QCOMPARE(item(world.controller, QStringLiteral("menuBarApplication"), 0)->property("inProgress").toBool(),
                 indicator);
        QCOMPARE(item(world.controller, QStringLiteral("menuBarApplication"), 0)->icon().isNull(), !indicator);
        QCOMPARE(item(world.controller, QStringLiteral("menuBarApplication"), 1)->property("inProgress").toBool(),
                 false);
    }

    // A row selects its application without touching the filter, also one the filter hides.
    void rowSelectsAndActivates()
    {
        MenuBarWorld world;
        const ApplicationList apps = appsFrom({"First*", "Second*"});
        world.store.setApplications(apps);
        world.sidebar.setCurrentFilter(ApplicationFilter::ignored);
        QSignalSpy activate(&world.controller, &MenuBarController::activateApplicationRequested);
        item(world.controller, QStringLiteral("menuBarApplication"), 1)->trigger();
        QCOMPARE(world.store.selectedApplicationId(), std::optional(apps.at(1)->id()));
        QCOMPARE(world.sidebar.currentFilter(), ApplicationFilter::ignored);
        QCOMPARE(activate.count(), 1);
    }

    void showItemsSetTheUpdatesFilter_data()
    {
        QTest::addColumn<QString>("objectName");
        QTest::newRow("+ more") << "menuBarMoreUpdates";
        QTest::newRow("Show Norvelle") << "menuBarShowNorvelle";
    }

    void showItemsSetTheUpdatesFilter()
    {
        QFETCH(QString, objectName);
        MenuBarWorld world;
        world.store.setApplications(appsFrom(withUpdates(7)));
        QSignalSpy activate(&world.controller, &MenuBarController::activateApplicationRequested);
        item(world.controller, objectName)->trigger();
        QCOMPARE(world.sidebar.currentFilter(), ApplicationFilter::updates);
        QCOMPARE(activate.count(), 1);
        QCOMPARE(world.store.selectedApplicationId(), std::nullopt);
    }

    void updateAllActivatesThenOpensTheSheet()
    {
        MenuBarWorld world;
        world.store.setApplications(appsFrom({"One*"}));
        QStringList order;
        connect(&world.controller, &MenuBarController::activateApplicationRequested, &world.controller,
                [&] { order.append(QStringLiteral("activate")); });
        connect(&world.sidebar, &SidebarViewModel::showUpdateSheetChanged, &world.controller,
                [&](bool shown) { order.append(shown ? QStringLiteral("sheet") : QStringLiteral("no sheet")); });
        item(world.controller, QStringLiteral("menuBarUpdateAll"))->trigger();
        QCOMPARE(order, (QStringList{"activate", "sheet"}));
        QVERIFY(world.sidebar.showUpdateSheet());
    }

    void quitAsksToQuit()
    {
        MenuBarWorld world;
        QSignalSpy quit(&world.controller, &MenuBarController::quitRequested);
        item(world.controller, QStringLiteral("menuBarQuit"))->trigger();
        QCOMPARE(quit.count(), 1);
    }

    // Both refresh items run a discovery and then a check; the item's own rebuild while it is
    // being triggered must not pull it away under its feet.
    void refreshDiscoversThenChecks_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("objectName");
        QTest::newRow("Check for Updates") << QStringList{"Plain"} << "menuBarCheckForUpdates";
        QTest::newRow("Refresh") << QStringList{"One*"} << "menuBarRefresh";
    }

    void refreshDiscoversThenChecks()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, objectName);
        MenuBarWorld world;
        world.store.setApplications(appsFrom(before));
        const ApplicationList found = appsFrom({"Found*", "Other"});
        world.discovery->setApplications(found);
        auto gate = world.gate();
        world.coordinator.setGate(Op::discoverApplications, gate);
        item(world.controller, objectName)->trigger();
        QTRY_VERIFY(world.sidebar.isDiscovering());
        QTRY_COMPARE(world.controller.label().kind, MenuBarLabel::Kind::progress);
        QCOMPARE(world.coordinator.callCount(Op::checkForUpdates), 0);
        gate->open();
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), 1);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
        QCOMPARE(world.coordinator.callCount(Op::discoverApplications), 1);
        QAction* again = item(world.controller, QStringLiteral("menuBarRefresh"));
        if (!again)
            again = item(world.controller, QStringLiteral("menuBarCheckForUpdates"));
        QVERIFY(again && again->isEnabled());
    }

    void renderMenu()
    {
        MenuBarWorld world;
        const ApplicationList apps = appsFrom(withUpdates(7));
        world.store.setApplications(apps);
        UpdateProgress progress;
        progress.application = apps.at(1);
        progress.status = UpdateProgress::Status::downloading;
        world.detail.setUpdateProgress(progress);
        QMenu* menu = world.controller.menu();
        menu->adjustSize();
        QVERIFY(!renderToPng(menu, QStringLiteral("menu-bar-menu"), menu->sizeHint()).isEmpty());
        QLabel icons;
        QPixmap strip(4 * 40, 40);
        strip.fill(Qt::white);
        {
            QPainter painter(&strip);
            int x = 0;
            for (const MenuBarLabel& label : {MenuBarLabel::from(true, false, 3), MenuBarLabel::from(true, false, 12),
                                              MenuBarLabel::from(true, false, 0), MenuBarLabel::from(true, true, 3)}) {
                MenuBarIcon::icon(label, Qt::black).paint(&painter, QRect(x + 4, 4, 32, 32));
                x += 40;
            }
        }
        icons.setPixmap(strip);
        QVERIFY(!renderToPng(&icons, QStringLiteral("menu-bar-labels"), strip.size()).isEmpty());
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"
