#include "tst_sidebarworld.h"

#include "RenderToPng.h"

#include "platform/SettingsStore.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/ContentView.h"
#include "ui/main/MainWindow.h"
#include "ui/main/SidebarView.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

QStringList mainCalls(const FakeAppCoordinator& coordinator)
{
    QStringList calls;
    for (const QString& call : coordinator.calls()) {
        if (call == QLatin1String("discoverApplications") || call == QLatin1String("checkForUpdates"))
            calls.append(call);
    }
    return calls;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void preferredTheme_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<Theme>("theme");
        QTest::newRow("Dark") << "Dark" << Theme::dark;
        QTest::newRow("Light") << "Light" << Theme::light;
        QTest::newRow("lower-case dark") << "dark" << Theme::system;
        QTest::newRow("Automatic") << "Automatic" << Theme::system;
        QTest::newRow("empty") << "" << Theme::system;
    }

    void preferredTheme()
    {
        QFETCH(QString, stored);
        QFETCH(Theme, theme);
        QCOMPARE(MainWindow::preferredTheme(stored), theme);
    }

    // The window restyles itself when the setting changes.
    void themeFollowsTheSetting()
    {
        MainWindowTestWorld world;
        MainWindow window(world.viewEnvironment());
        QCOMPARE(window.appliedTheme(), Theme::system);
        world.settings.store().setSelectedTheme(QStringLiteral("Dark"));
        QTRY_COMPARE(window.appliedTheme(), Theme::dark);
        QVERIFY(window.palette().color(QPalette::Window).lightness() < 128);
        world.settings.store().setSelectedTheme(QStringLiteral("Light"));
        QTRY_COMPARE(window.appliedTheme(), Theme::light);
        QVERIFY(window.palette().color(QPalette::Window).lightness() >= 128);
    }

    // Before the tour is completed nothing runs; finishing it (again) runs the discovery and
    // then the update check.
    void startTaskRunsWhenTheContentShows()
    {
        MainWindowTestWorld world;
        world.discovery->setApplications({MainWindowTestWorld::app(QStringLiteral("Alpha"))});
        world.appState.setHasCompletedWelcomeTour(false);
        MainWindow window(world.viewEnvironment());
        window.show();
        QVERIFY(window.contentView() == nullptr);
        QCOMPARE(window.findChild<QStackedWidget*>("rootStack")->currentWidget()->objectName(),
                 QStringLiteral("welcomeTourPlaceholder"));
        QCoreApplication::processEvents();
        QVERIFY(mainCalls(world.coordinator).isEmpty());

        window.findChild<QPushButton*>("getStartedButton")->click();
        QVERIFY(window.contentView() != nullptr);
        QTRY_COMPARE(mainCalls(world.coordinator), (QStringList{"discoverApplications", "checkForUpdates"}));
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());

        world.appState.setHasCompletedWelcomeTour(false);
        QVERIFY(window.contentView() == nullptr);
        world.appState.setHasCompletedWelcomeTour(true);
        QTRY_COMPARE(mainCalls(world.coordinator).size(), 4);
        QCOMPARE(mainCalls(world.coordinator).mid(2), (QStringList{"discoverApplications", "checkForUpdates"}));
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
    }

    // A failed discovery still goes on to the check; it stops there only when nothing is listed.
    void checkFollowsAFailedDiscovery()
    {
        MainWindowTestWorld world;
        world.store.setApplications({MainWindowTestWorld::app(QStringLiteral("Alpha"))});
        world.discovery->setDiscoveryFailure(QStringLiteral("disk gone"));
        world.appState.setHasCompletedWelcomeTour(true);
        MainWindow window(world.viewEnvironment());
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), 1);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
    }

    void alert_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("checks");
        QTest::newRow("Cancel") << "alertCancelButton" << 0;
        QTest::newRow("Try Again") << "alertTryAgainButton" << 1;
    }

    // Either button lowers the flag; "Try Again" checks once more, without a discovery.
    void alert()
    {
        QFETCH(QString, button);
        QFETCH(int, checks);
        MainWindowTestWorld world;
        world.appState.setHasCompletedWelcomeTour(true);
        MainWindow window(world.viewEnvironment());
        window.show();
        QTRY_COMPARE(world.coordinator.callCount(Op::discoverApplications), 1);
        QTRY_VERIFY(!world.sidebar.isDiscovering() && !world.sidebar.isCheckingUpdates());
        world.store.setApplications({MainWindowTestWorld::app(QStringLiteral("Alpha"))});
        const int discoveries = world.coordinator.callCount(Op::discoverApplications);
        const int before = world.coordinator.callCount(Op::checkForUpdates);

        world.appState.setShowUpdateCheckError(true);
        QTRY_VERIFY(window.contentView()->updateCheckAlert() != nullptr);
        QMessageBox* alert = window.contentView()->updateCheckAlert();
        QCOMPARE(alert->text(), QStringLiteral("Check For Updates Failed"));
        QCOMPARE(alert->informativeText(),
                 QStringLiteral("Unable to grab data from Homebrew to display available updates.\n\nBrew will "
                                "sometimes rate limit too many checks. Wait a few seconds and then try again."));
        alert->findChild<QPushButton*>(button)->click();
        QVERIFY(!world.appState.showUpdateCheckError());
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), before + checks);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
        QCOMPARE(world.coordinator.callCount(Op::discoverApplications), discoveries);
        QTRY_VERIFY(window.contentView()->updateCheckAlert() == nullptr);
    }

    void sidebarKeepsItsWidth()
    {
        MainWindowTestWorld world;
        world.appState.setHasCompletedWelcomeTour(true);
        MainWindow window(world.viewEnvironment());
        window.show();
        for (int width : {860, 1400}) {
            window.resize(width, 600);
            QTRY_COMPARE(window.contentView()->sidebar()->width(), ContentView::sidebarWidth);
        }
    }

    void detailShowsTheSelection()
    {
        MainWindowTestWorld world;
        auto alpha = MainWindowTestWorld::app(QStringLiteral("Alpha"));
        world.store.setApplications({alpha});
        world.appState.setHasCompletedWelcomeTour(true);
        MainWindow window(world.viewEnvironment());
        QVERIFY(window.findChild<QWidget*>("noApplicationSelected")->isVisibleTo(&window));
        world.store.setSelectedApplicationId(alpha->id());
        QTRY_VERIFY(window.findChild<QLabel*>("applicationName"));
        QCOMPARE(window.findChild<QLabel*>("applicationName")->text(), QStringLiteral("Alpha"));
    }

    // A small world drawn once, for a look at the layout.
    void renders()
    {
        MainWindowTestWorld world;
        world.environment->setStatus(EnvironmentStatus{true, false, true, std::nullopt});
        using S = Application::Source;
        auto safari = MainWindowTestWorld::app(QStringLiteral("Safari"), {S::homebrew, S::sparkle});
        safari->setCurrentVersion(QStringLiteral("2.0,200"));
        auto figma = MainWindowTestWorld::app(QStringLiteral("Figma$+"));
        auto slack = MainWindowTestWorld::app(QStringLiteral("Slack"), {S::appStore});
        auto notes = MainWindowTestWorld::app(QStringLiteral("Notes"), {S::other});
        auto zoom = MainWindowTestWorld::app(QStringLiteral("Zoom"));
        world.discovery->setApplications({slack, notes, safari, figma, zoom});
        world.appState.setHasCompletedWelcomeTour(true);
        MainWindow window(world.viewEnvironment());
        window.resize(860, 500);
        window.show();
        QTRY_COMPARE(world.coordinator.callCount(Op::checkForUpdates), 1);
        QTRY_VERIFY(!world.sidebar.isCheckingUpdates());
        // Updates found after the check; one of them is being installed.
        safari->setUpdate(makeUpdate(QStringLiteral("2.0,210")));
        figma->setUpdate(makeUpdate(QStringLiteral("3.1")));
        zoom->setIgnored(true);
        UpdateProgress progress;
        progress.application = figma;
        progress.status = UpdateProgress::Status::downloading;
        world.detail.setUpdateProgress(progress);
        world.store.setSelectedApplicationId(safari->id());
        QTRY_COMPARE(window.contentView()->sidebar()->model().rowCount(), 4);
        QVERIFY(!renderToPng(&window, QStringLiteral("mainwindow")).isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
