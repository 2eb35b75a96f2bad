#include "tst_sidebarworld.h"

#include "RenderToPng.h"
#include "ui/main/ApplicationListHeaderView.h"
#include "ui/main/ApplicationRowDelegate.h"
#include "ui/main/MenuBarController.h"
#include "ui/main/SidebarView.h"
#include "ui/main/components/CountCapsule.h"
#include "ui/main/components/PasswordBadgeView.h"
#include "ui/main/components/SourceBadgeView.h"
#include "ui/main/components/SpinningIcon.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

UpdateProgress running(const ApplicationPtr& application)
{
    UpdateProgress progress;
    progress.id = QUuid::createUuid();
    progress.application = application;
    progress.status = UpdateProgress::Status::downloading;
    progress.progress = 0.4;
    return progress;
}

} // namespace

class TestSidebarIndicators : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // On the selection colour every badge takes the selected text colour; its shape stays.
    void badgesOnASelectedRow_data()
    {
        QTest::addColumn<BadgeAppearance>("appearance");
        QTest::newRow("homebrew") << SourceBadgeView::appearanceFor(Application::Source::homebrew);
        QTest::newRow("app store") << SourceBadgeView::appearanceFor(Application::Source::appStore);
        QTest::newRow("password") << PasswordBadgeView::appearanceFor(PasswordBadgeView::Style::sidebar);
    }
    void badgesOnASelectedRow()
    {
        QFETCH(BadgeAppearance, appearance);
        const QColor white(Qt::white);
        const BadgeAppearance selected = ApplicationRowDelegate::onSelection(appearance, white);
        QCOMPARE(selected.textColor, white);
        QCOMPARE(selected.fill.rgb(), white.rgb());
        QVERIFY(selected.fill.alphaF() < 0.5);
        QCOMPARE(selected.text, appearance.text);
        QCOMPARE(selected.capsule, appearance.capsule);
        QCOMPARE(selected.outline.isValid(), appearance.outline.isValid());
    }

    void titleBadgeAndUpdatesCapsuleCountUpdates()
    {
        MainWindowTestWorld world;
        world.store.setApplications({MainWindowTestWorld::app("Alpha*"), MainWindowTestWorld::app("Beta*"),
                                     MainWindowTestWorld::app("Gamma"), MainWindowTestWorld::app("Delta*!")});
        SidebarView view(world.viewEnvironment());
        view.resize(320, 600);
        auto* badge = view.findChild<CountCapsule*>("sidebarTitleBadge");
        QVERIFY(!badge->isHidden());
        QCOMPARE(badge->text(), QStringLiteral("2"));
        QCOMPARE(view.findChild<CountCapsule*>("showUpdatesCount")->text(), QStringLiteral("2"));
        QVERIFY(!renderToPng(&view, QStringLiteral("sidebar-capsules")).isEmpty());

        world.store.setApplications({MainWindowTestWorld::app("Gamma")});
        QTRY_VERIFY(badge->isHidden());
    }

    void contextMenuItemsCarryTheirSymbols()
    {
        MainWindowTestWorld world;
        world.appState.setHasAppManagementPermission(true);
        world.store.setApplications({MainWindowTestWorld::app("Alpha*")});
        SidebarView view(world.viewEnvironment());
        QMenu* menu = view.contextMenuForRow(0);
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
        }
        delete menu;
    }

    void rowSpinnerTurnsWhileAnUpdateRuns()
    {
        MainWindowTestWorld world;
        auto alpha = MainWindowTestWorld::app("Alpha*");
        world.store.setApplications({alpha});
        SidebarView view(world.viewEnvironment());
        view.resize(320, 400);
        view.show();
        auto* delegate = qobject_cast<ApplicationRowDelegate*>(view.listView()->itemDelegate());
        QVERIFY(delegate);
        world.detail.setUpdateProgress(running(alpha));
        QTRY_VERIFY(delegate->isSpinning());
        // It keeps turning: every tick repaints the rows, which asks for the next tick.
        const int first = delegate->spinPhase();
        QTRY_VERIFY(delegate->spinPhase() == (first + 90) % 360);
        QVERIFY(delegate->isSpinning());
        auto done = running(alpha);
        done.status = UpdateProgress::Status::completed;
        world.detail.setUpdateProgress(done);
        QTRY_VERIFY(!delegate->isSpinning()); // nothing to turn: the timer stops
    }

    void menuBarRowSpinsWhileItsUpdateRuns()
    {
        MainWindowTestWorld world;
        world.appState.setHasCompletedWelcomeTour(true);
        auto alpha = MainWindowTestWorld::app("Alpha*");
        auto beta = MainWindowTestWorld::app("Beta*");
        world.store.setApplications({alpha, beta});
        MenuBarController controller{world.store, world.sidebar, world.detail, world.appState};
        world.detail.setUpdateProgress(running(alpha));
        QAction* spinning = nullptr;
        QAction* still = nullptr;
        QTRY_VERIFY([&] {
            spinning = still = nullptr;
            for (QAction* action : controller.menu()->actions()) {
                if (action->text() == QLatin1String("Alpha"))
                    spinning = action;
                if (action->text() == QLatin1String("Beta"))
                    still = action;
            }
            return spinning && SpinningIcon::phase(spinning) >= 0;
        }());
        QCOMPARE(SpinningIcon::phase(still), -1);
        const int first = SpinningIcon::phase(spinning);
        QTRY_VERIFY(SpinningIcon::phase(spinning) != first);
    }
};

QTEST_MAIN(TestSidebarIndicators)
#include "tst_sidebarindicators.moc"
