#include "DemoWorld.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestDemoLauncher)
#include "tst_demolauncher.moc"
