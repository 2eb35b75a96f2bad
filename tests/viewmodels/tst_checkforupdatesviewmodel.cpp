#include "FakeUpdater.h"
#include "LogCapture.h"
#include "UpdaterRecordingDriver.h"
#include "platform/updater/UpdaterFactory.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using norvelle::test::FakeUpdater;
using norvelle::test::LogCapture;
using norvelle::test::UpdaterRecordingDriver;

class TestCheckForUpdatesViewModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstReadingIsThereAtOnce_data()
    {
        QTest::addColumn<bool>("canCheck");
        QTest::newRow("ready") << true;
        QTest::newRow("busy") << false;
    }
    void firstReadingIsThereAtOnce()
    {
        QFETCH(bool, canCheck);
        auto updater = std::make_shared<FakeUpdater>(canCheck);
        CheckForUpdatesViewModel model(updater);
        QCOMPARE(model.canCheckForUpdates(), canCheck);

        // Polls that read the same value change nothing.
        QSignalSpy spy(&model, &CheckForUpdatesViewModel::canCheckForUpdatesChanged);
        const int reads = updater->readCount();
        QTRY_VERIFY(updater->readCount() >= reads + 3);
        QCOMPARE(spy.size(), 0);
    }

    void followsTheUpdater()
    {
        auto updater = std::make_shared<FakeUpdater>(true);
        CheckForUpdatesViewModel model(updater);
        QSignalSpy spy(&model, &CheckForUpdatesViewModel::canCheckForUpdatesChanged);

        updater->setCanCheck(false);
        QTRY_VERIFY(!model.canCheckForUpdates());
        updater->setCanCheck(true);
        QTRY_VERIFY(model.canCheckForUpdates());
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QCOMPARE(spy.at(1).at(0).toBool(), true);
    }

    void checkStartsOnlyWhenPossible()
    {
        auto updater = std::make_shared<FakeUpdater>(true);
        CheckForUpdatesViewModel model(updater);
        model.checkForUpdates();
        QCOMPARE(updater->checkCount(), 1);
        updater->setCanCheck(false);
        model.checkForUpdates();
        QCOMPARE(updater->checkCount(), 1);
    }

    void withoutUpdaterTheCheckIsUnavailable()
    {
        LogCapture log;
        CheckForUpdatesViewModel model(nullptr);
        QVERIFY(!model.canCheckForUpdates());
        model.checkForUpdates();
        QVERIFY(log.contains(Logger::Level::info,
                             "Check for Updates is unavailable: this build has no updater of its own"));
    }

    void ownUpdaterWithoutBundleIsNotStarted()
    {
        LogCapture log;
        QTemporaryDir notABundle;
        UpdaterRecordingDriver driver;
        UpdaterFactory factory;
        QVERIFY(!CheckForUpdatesViewModel::startOwnUpdater(factory, notABundle.path(), driver));
        QVERIFY(log.containsPrefix(Logger::Level::info, "Own updates are unavailable: "));
    }
};

QTEST_GUILESS_MAIN(TestCheckForUpdatesViewModel)
#include "tst_checkforupdatesviewmodel.moc"
