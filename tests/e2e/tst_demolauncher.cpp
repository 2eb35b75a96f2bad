#include "DemoWorld.h"
#include "TestFiles.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"
#include "platform/file/FolderLock.h"

#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

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
        // The lock's: 0 a running copy's, 1 a running copy's in a PID namespace of its own, -1 a
        // zombie's, -2 another program's, -3 a dead copy's in a folder that another process keeps.
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<QStringList>("changed"); // lines of the lock that differ from this process's
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("exitCode"); // -1: it runs on; 0 only when it asked the running copy
        const QString norvelle(NORVELLE_EXECUTABLE), demo(NORVELLE_DEMO_EXECUTABLE);
        const QString handedOver = "Norvelle already runs with the settings", ran = "Norvelle started";
        const qint64 gone = std::numeric_limits<int>::max(), self = QCoreApplication::applicationPid();
        QTest::newRow("Norvelle runs") << norvelle << 0ll << QStringList{} << handedOver << 0;
        QTest::newRow("Norvelle runs in a PID namespace")
            << norvelle << 1ll << QStringList{} << handedOver << 0;
        QTest::newRow("Norvelle was killed") << norvelle << gone << QStringList{} << ran << -1;
        QTest::newRow("the launcher was killed")
            << demo << gone << QStringList{} << "built the demo world" << -1;
        QTest::newRow("its pid went to another program") << norvelle << -2ll << QStringList{} << ran << -1;
        QTest::newRow("it was killed and not yet reaped") << norvelle << -1ll << QStringList{} << ran << -1;
        QTest::newRow("it ran before a restart")
            << norvelle << self << QStringList{"boot=00000000-0000-0000-0000-000000000000"} << ran << -1;
        // A laptop's host name follows the network it joins; its machine id stays.
        QTest::newRow("the host was renamed since")
            << norvelle << gone << QStringList{"host=renamed"} << ran << -1;
        // Nothing here can tell whether it runs there, nor ask it to come forward.
        const QString machine = "machine=00000000000000000000000000000000";
        QTest::newRow("another machine's") << norvelle << gone << QStringList{"host=elsewhere", machine}
                                           << "Norvelle on elsewhere holds the settings" << 1;
        QTest::newRow("another machine's, its host of control characters")
            << norvelle << gone << QStringList{"host=fM\x0c\x14", machine}
            << "Norvelle on fM\uFFFD\uFFFD holds" << 1;
        QTest::newRow("its folder kept busy")
            << norvelle << -3ll << QStringList{}
            << "Norvelle cannot tell whether it already runs with the settings" << 1;
        QTest::newRow("another machine's launcher") << demo << gone << QStringList{"host=elsewhere", machine}
                                                    << "in use by norvelle-demo on elsewhere" << 1;
        QTest::newRow("another machine's of the same name")
            << norvelle << gone << QStringList{machine}
            << "Norvelle on another machine also named " + QSysInfo::machineHostName() << 1;
        QTest::newRow("another machine's naming no host")
            << norvelle << gone << QStringList{"host=", machine}
            << "Norvelle on the machine with id 00000000000000000000000000000000 holds" << 1;
    }
    // A lock that no process holds is a dead copy's, whatever it names: the next start runs. One
    // that a copy holds is handed over to, whatever pid it names.
    void onlyALiveCopyIsHandedOver()
    {
        QFETCH(QString, program);
        QFETCH(qint64, pid);
        QFETCH(QStringList, changed);
        QFETCH(QString, said);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const demo::DemoWorld world(dir.filePath(QStringLiteral("world")));
        SingleInstance running(SingleInstance::settingsFileOf(Paths::underRoot(world.root())));
        const QString lock = program == NORVELLE_EXECUTABLE ? running.lockPath() : world.launcherLockPath();
        QDir().mkpath(QFileInfo(lock).absolutePath());
        const FolderLock kept(pid == -3 ? QFileInfo(lock).absolutePath() : QString());
        pid = pid == -3 ? std::numeric_limits<int>::max() : pid;
        QProcess other;
        if (pid == -2) {
            other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
            QVERIFY(other.waitForStarted());
            pid = other.processId();
        }
        const pid_t zombie = pid == -1 ? ::fork() : 0;
        if (zombie == 0 && pid == -1)
            ::_exit(0);
        const auto reap = qScopeGuard([zombie] { zombie > 0 && ::waitpid(zombie, nullptr, 0); });
        // A copy in a PID namespace of its own: a held lock naming pid 1.
        QFile held(lock);
        QVERIFY(pid == 0 ? running.claim() == SingleInstance::Claim::claimed
                         : test::writeStaleLock(lock, pid < 0 ? zombie : pid, changed) &&
                               (pid != 1 ||
                                (held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_EX) == 0)));
        // What the copy that holds the lock made to be asked through, wherever it runs.
        QVERIFY(exitCode < 0 || (QDir().mkpath(QFileInfo(running.requestPath()).absolutePath()) &&
                                 QFile(running.requestPath()).open(QIODevice::Append)));

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NORVELLE_ROOT"), world.root());
        second.setProcessEnvironment(environment);
        // Started from a terminal, so what it says needs no dialog.
        const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        const auto closed = qScopeGuard([terminal] { ::close(terminal); });
        QVERIFY(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
        second.setStandardInputFile(QString::fromLocal8Bit(::ptsname(terminal)));
        second.start(program, {QStringLiteral("--root"), world.root(), QStringLiteral("--norvelle"),
                               QStringLiteral("false")});
        QString output;
        QTRY_VERIFY2_WITH_TIMEOUT((output += QString::fromUtf8(second.readAllStandardError())).contains(said),
                                  qPrintable(output), 30000);
        if (exitCode >= 0) {
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
            QCOMPARE(second.exitCode(), exitCode);
            QCOMPARE(QFileInfo(running.requestPath()).size() > 0, exitCode == 0);
        }
        second.kill();
        second.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestDemoLauncher)
#include "tst_demolauncher.moc"
