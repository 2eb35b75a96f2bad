#include "FakeEnvironmentService.h"
#include "FakeNetworkProbe.h"
#include "TempRoot.h"
#include "TempSettings.h"
#include "TestGate.h"
#include "coordinator/AppState.h"
#include "services/EnvironmentService.h"
#include "viewmodels/WelcomeTourViewModel.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FakeEnvironmentService;
using norvelle::test::FakeNetworkProbe;
using norvelle::test::TempRoot;
using norvelle::test::TempSettings;
using norvelle::test::TestGate;

namespace {

// A real environment check over a temporary root, with the tools the row asks for.
struct World {
    TempRoot root;
    TempSettings settings;
    AppState appState{settings.store(), nullptr};
    std::shared_ptr<FakeNetworkProbe> probe = std::make_shared<FakeNetworkProbe>();

    std::shared_ptr<EnvironmentService> environment(bool brew, bool mas)
    {
        if (brew)
            root.writeExecutable(QStringLiteral("/usr/local/bin/brew"), "#!/bin/sh\n");
        if (mas)
            root.writeFile(QStringLiteral("/opt/homebrew/bin/mas"), QByteArray());
        return std::make_shared<EnvironmentService>(root.paths(), probe, 500ms);
    }
};

} // namespace

class TestWelcomeTourViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pagesMoveByOneAndAlwaysSignal()
    {
        World world;
        WelcomeTourViewModel tour(world.environment(true, true), world.appState);
        QSignalSpy spy(&tour, &WelcomeTourViewModel::currentPageIndexChanged);
        QCOMPARE(tour.currentPageIndex(), 0);
        tour.nextPage();
        tour.nextPage();
        tour.previousPage();
        QCOMPARE(tour.currentPageIndex(), 1);
        QCOMPARE(spy.size(), 3);
    }

    void skipBeforeAnyCheckEndsOnPageFour()
    {
        World world;
        WelcomeTourViewModel tour(world.environment(false, false), world.appState);
        QSignalSpy spy(&tour, &WelcomeTourViewModel::currentPageIndexChanged);
        tour.skipToEnd();
        QCOMPARE(tour.currentPageIndex(), 4);
        tour.skipToEnd();
        QCOMPARE(spy.size(), 1);
    }

    void checkDecidesTheLastPage_data()
    {
        QTest::addColumn<bool>("brew");
        QTest::addColumn<bool>("mas");
        QTest::addColumn<int>("lastPage");
        QTest::newRow("both tools") << true << true << 4;
        QTest::newRow("no mas") << true << false << 5;
        QTest::newRow("no brew") << false << true << 5;
        QTest::newRow("neither") << false << false << 5;
    }
    void checkDecidesTheLastPage()
    {
        QFETCH(bool, brew);
        QFETCH(bool, mas);
        QFETCH(int, lastPage);
        World world;
        world.probe->setMode(FakeNetworkProbe::Mode::down);
        WelcomeTourViewModel tour(world.environment(brew, mas), world.appState);
        QSignalSpy checking(&tour, &WelcomeTourViewModel::isCheckingEnvironmentChanged);

        QFuture<void> check = tour.checkEnvironment();
        QVERIFY(tour.isCheckingEnvironment());
        QTRY_VERIFY(check.isFinished());
        QVERIFY(!tour.isCheckingEnvironment());
        QCOMPARE(checking.size(), 2);
        QVERIFY(tour.environmentStatus());
        QCOMPARE(tour.environmentStatus()->hasHomebrew, brew);
        QCOMPARE(tour.environmentStatus()->hasMAS, mas);
        QCOMPARE(tour.environmentStatus()->hasNetwork, false);

        tour.skipToEnd();
        QCOMPARE(tour.currentPageIndex(), lastPage);
    }

    void statusIsStoredOnlyWhenTheCheckEnds()
    {
        World world;
        auto service = std::make_shared<FakeEnvironmentService>(EnvironmentStatus{true, false, true, {}});
        auto gate = std::make_shared<TestGate>();
        service->setNextCheckGate(gate);
        WelcomeTourViewModel tour(service, world.appState);

        QFuture<void> check = tour.checkEnvironment();
        QTRY_COMPARE(gate->arrivals(), 1);
        QVERIFY(tour.isCheckingEnvironment());
        QVERIFY(!tour.environmentStatus());
        tour.skipToEnd();
        QCOMPARE(tour.currentPageIndex(), 4);

        gate->open();
        QTRY_VERIFY(check.isFinished());
        QCOMPARE(tour.lastPageIndex(), 5);
        QVERIFY(!tour.isCheckingEnvironment());
    }

    void sameAnswerDoesNotSignalTheStatus()
    {
        World world;
        auto service = std::make_shared<FakeEnvironmentService>();
        WelcomeTourViewModel tour(service, world.appState);
        QFuture<void> first = tour.checkEnvironment();
        QTRY_VERIFY(first.isFinished());

        QSignalSpy status(&tour, &WelcomeTourViewModel::environmentStatusChanged);
        QSignalSpy checking(&tour, &WelcomeTourViewModel::isCheckingEnvironmentChanged);
        QFuture<void> second = tour.checkEnvironment();
        QTRY_VERIFY(second.isFinished());
        QCOMPARE(status.size(), 0);
        QCOMPARE(checking.size(), 2);
        QCOMPARE(service->checkCount(), 2);
    }

    void recheckLastsAtLeastHalfASecond()
    {
        World world;
        auto service = std::make_shared<FakeEnvironmentService>();
        WelcomeTourViewModel tour(service, world.appState);
        QElapsedTimer elapsed;
        elapsed.start();
        QFuture<void> recheck = tour.recheckEnvironment();
        QTRY_COMPARE(service->checkCount(), 1);
        QVERIFY(tour.isCheckingEnvironment());
        QTRY_VERIFY(recheck.isFinished());
        QVERIFY(elapsed.elapsed() >= 490);
        QVERIFY(!tour.isCheckingEnvironment());
        QVERIFY(tour.environmentStatus());
    }
};

QTEST_GUILESS_MAIN(TestWelcomeTourViewModel)
#include "tst_welcometourviewmodel.moc"
