#include "FakeUpdater.h"
#include "LogCapture.h"
#include "UpdaterRecordingDriver.h"
#include "platform/updater/UpdaterFactory.h"
#include "viewmodels/CheckForUpdatesViewModel.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace norvelle;
using norvelle::test::FakeUpdater;
using norvelle::test::LogCapture;
using norvelle::test::UpdaterRecordingDriver;

namespace {

// Notes when it is read, on the main thread's clock.
class TimedUpdater : public FakeUpdater {
public:
    TimedUpdater() { m_clock.start(); }
    bool canCheckForUpdates() const override
    {
        readTimes.append(m_clock.elapsed());
        return FakeUpdater::canCheckForUpdates();
    }
    mutable QList<qint64> readTimes;

private:
    QElapsedTimer m_clock;
};

} // namespace

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
        CheckForUpdatesViewModel model(std::make_shared<FakeUpdater>(canCheck));
        QCOMPARE(model.canCheckForUpdates(), canCheck);
    }

    // The updater is read every 100 ms, neither much more often nor much less; readings of
    // the same value change nothing, and a change is passed on once.
    void followsTheUpdaterEveryHundredMilliseconds()
    {
        auto updater = std::make_shared<TimedUpdater>();
        CheckForUpdatesViewModel model(updater);
        QSignalSpy spy(&model, &CheckForUpdatesViewModel::canCheckForUpdatesChanged);
        QTRY_VERIFY_WITH_TIMEOUT(updater->readTimes.size() >= 12, 10000);
        // A timer keeps its cadence, so a late reading shortens the next interval: the mean over
        // ten intervals is what stays near 100 ms under load.
        const QList<qint64> times = updater->readTimes.mid(1, 11); // after the constructor's reading
        const qint64 mean = (times.last() - times.first()) / (times.size() - 1);
        QVERIFY2(mean >= 85 && mean <= 160, qPrintable(QStringLiteral("read every %1 ms").arg(mean)));
        QCOMPARE(spy.size(), 0);

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
