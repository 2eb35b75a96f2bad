#include "TestFiles.h"
#include "platform/SingleInstance.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace norvelle;
using Claim = SingleInstance::Claim;

Q_DECLARE_METATYPE(SingleInstance::Claim)

class TestSingleInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString settings() const { return m_dir.filePath(QStringLiteral("home/.config/Norvelle/Norvelle.conf")); }

private Q_SLOTS:
    // A second start on the same settings finds the first, asks it to come forward and ends;
    // once the first has ended, the next start runs.
    void secondStartHandsOver()
    {
        auto first = std::make_unique<SingleInstance>(settings());
        QCOMPARE(first->claim(), Claim::claimed);
        QSignalSpy raised(first.get(), &SingleInstance::activationRequested);

        SingleInstance second(settings());
        QCOMPARE(second.claim(), Claim::heldElsewhere);
        QVERIFY(second.requestActivation());
        QTRY_COMPARE(raised.count(), 1);
        QVERIFY(SingleInstance(settings()).requestActivation());
        QTRY_COMPARE(raised.count(), 2);

        first.reset();
        QVERIFY(!second.requestActivation()); // nobody to ask
        QCOMPARE(second.claim(), Claim::claimed);
    }

    void staleLockIsTakenOver_data()
    {
        QTest::addColumn<qint64>("pid");     // the one the lock names
        QTest::addColumn<bool>("held");      // a running copy holds the lock
        QTest::addColumn<bool>("readOnly");  // the settings folder was made read-only since
        QTest::addColumn<Claim>("expected");
        const qint64 gone = std::numeric_limits<int>::max();
        QTest::newRow("killed") << gone << false << false << Claim::claimed;
        // A sandbox that gives every start the same pid: QLockFile sees the lock's process run.
        QTest::newRow("killed, with this start's pid")
            << QCoreApplication::applicationPid() << false << false << Claim::claimed;
        // A copy in a PID namespace of its own names its pid there.
        QTest::newRow("running in another PID namespace") << 1ll << true << false << Claim::heldElsewhere;
        QTest::newRow("killed, its folder made read-only") << gone << false << true << Claim::unavailable;
    }
    // A copy that was killed leaves its lock and its request file behind; the next start takes the
    // lock over, or runs without it, and is asked to come forward by every later start either way.
    // A copy that runs is found by its hold on the lock, whatever pid the lock names.
    void staleLockIsTakenOver()
    {
        QFETCH(qint64, pid);
        QFETCH(bool, held);
        QFETCH(bool, readOnly);
        QFETCH(Claim, expected);
        const QString folder = QFileInfo(settings()).absolutePath();
        SingleInstance killed(settings());
        QVERIFY(test::writeStaleLock(killed.lockPath(), pid));
        QVERIFY(QFile(killed.requestPath()).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(killed.requestPath()), 0666) == 0);
        // What every start sees of a running copy: QLockFile's hold (flock) on its lock.
        QFile running(killed.lockPath());
        QVERIFY(!held || (running.open(QIODevice::ReadOnly) && ::flock(running.handle(), LOCK_EX) == 0));
        // Root writes anywhere: it looks as a user without rights would.
        const uid_t user = ::geteuid();
        const auto writable = qScopeGuard([&] {
            QVERIFY(!readOnly || user != 0 || ::seteuid(0) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder), 0700) == 0);
        });
        if (readOnly) {
            for (QString up = folder; up.startsWith(m_dir.path()); up = QFileInfo(up).absolutePath())
                QVERIFY(::chmod(QFile::encodeName(up), up == folder ? 0555 : 0755) == 0);
            QVERIFY(user != 0 || ::seteuid(65534) == 0);
        }

        SingleInstance next(settings());
        QCOMPARE(next.claim(), expected);
        QCOMPARE(next.holdsStaleLock(), readOnly);
        if (expected == Claim::heldElsewhere)
            return;
        QSignalSpy raised(&next, &SingleInstance::activationRequested);
        QCOMPARE(SingleInstance(settings()).claim(), Claim::heldElsewhere);
        QVERIFY(SingleInstance(settings()).requestActivation());
        QTRY_COMPARE(raised.count(), 1);
    }

    // After a restart that followed a crash, the old pid is easily another user's process (a
    // system one): its executable cannot be read, so it is no copy of ours to hand over to.
    void anotherUsersProcessHoldsNothing()
    {
        QTemporaryDir shared;
        const QString lock = shared.filePath(QStringLiteral("Norvelle.conf.running"));
        QVERIFY(test::writeStaleLock(lock, 1));
        QVERIFY(::chmod(QFile::encodeName(shared.path()), 0755) == 0 && ::chmod(QFile::encodeName(lock), 0644) == 0);
        // As root, look as a user without rights would; the process 1 belongs to root.
        const uid_t user = ::geteuid();
        QVERIFY(user != 0 || ::seteuid(65534) == 0);
        const bool runs = SingleInstance::ownerRuns(lock);
        QVERIFY(user != 0 || ::seteuid(0) == 0);
        QVERIFY(!runs);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
