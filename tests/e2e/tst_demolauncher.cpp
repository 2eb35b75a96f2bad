#include "DemoWorld.h"
#include "TestFiles.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>

using namespace norvelle;

class TestDemoLauncher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aWorldInUseIsHandedOver_data()
    {
        QTest::addColumn<bool>("launcherRuns"); // else a Norvelle runs on the world by itself
        QTest::addColumn<QString>("said");
        QTest::newRow("another launcher serves it") << true << "in use by a running norvelle-demo";
        QTest::newRow("Norvelle runs on it") << false << "in use by a running Norvelle";
    }
    // A world in use is neither served twice nor built afresh: its Norvelle is brought forward.
    void aWorldInUseIsHandedOver()
    {
        QFETCH(bool, launcherRuns);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const demo::DemoWorld world(dir.filePath(QStringLiteral("world")));
        SingleInstance norvelle(SingleInstance::settingsFileOf(Paths::underRoot(world.root())));
        QCOMPARE(norvelle.claim(), SingleInstance::Claim::claimed);
        QSignalSpy raised(&norvelle, &SingleInstance::activationRequested);
        QLockFile launcher(world.launcherLockPath());
        if (launcherRuns)
            QVERIFY(launcher.tryLock(0));

        QProcess second;
        second.start(
            QStringLiteral(NORVELLE_DEMO_EXECUTABLE),
            {QStringLiteral("--root"), world.root(), QStringLiteral("--norvelle"), QStringLiteral("false")});
        QVERIFY(second.waitForFinished(60000));
        const QString output = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(output.contains(said), qPrintable(output));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(raised.count(), 1);
        // Nothing of the world was touched: beside the running copy's lock, nothing was built.
        QCOMPARE(QDir(world.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"home"});
    }

    void onlyALiveCopyIsHandedOver_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("ownerRuns");
        QTest::addColumn<QString>("said");
        const QString norvelle(NORVELLE_EXECUTABLE), demo(NORVELLE_DEMO_EXECUTABLE);
        QTest::newRow("Norvelle runs") << norvelle << true << "Norvelle already runs with the settings";
        QTest::newRow("Norvelle was killed") << norvelle << false << "Cannot lock";
        QTest::newRow("the launcher was killed") << demo << false << "built the demo world";
    }
    // A copy killed where its lock cannot be removed holds nothing: the next start runs, where
    // it used to hand over to the dead copy and end, on every start.
    void onlyALiveCopyIsHandedOver()
    {
        QFETCH(QString, program);
        QFETCH(bool, ownerRuns);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const demo::DemoWorld world(dir.filePath(QStringLiteral("world")));
        SingleInstance running(SingleInstance::settingsFileOf(Paths::underRoot(world.root())));
        const QString lock = program == NORVELLE_EXECUTABLE ? running.lockPath() : world.launcherLockPath();
        QDir().mkpath(QFileInfo(lock).absolutePath());
        // QLockFile locks a stale lock before it removes it: held so, it stays, even for root.
        QFile stuck(lock);
        QVERIFY(ownerRuns ? running.claim() == SingleInstance::Claim::claimed
                          : test::writeStaleLock(lock) && stuck.open(QIODevice::ReadOnly) &&
                                ::flock(stuck.handle(), LOCK_EX) == 0);

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NORVELLE_ROOT"), world.root());
        second.setProcessEnvironment(environment);
        second.start(program, {QStringLiteral("--root"), world.root(), QStringLiteral("--norvelle"),
                               QStringLiteral("false")});
        QString output;
        QTRY_VERIFY2_WITH_TIMEOUT((output += QString::fromUtf8(second.readAllStandardError())).contains(said),
                                  qPrintable(output), 30000);
        if (ownerRuns) {
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
            QCOMPARE(second.exitCode(), 0);
        }
        second.kill();
        second.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestDemoLauncher)
#include "tst_demolauncher.moc"
