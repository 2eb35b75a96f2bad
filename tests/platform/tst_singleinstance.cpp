#include "TestFiles.h"
#include "platform/SingleInstance.h"

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
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<bool>("stuck"); // the lock cannot be removed
        QTest::addColumn<Claim>("expected");
        const qint64 gone = std::numeric_limits<int>::max();
        QTest::newRow("killed") << gone << false << Claim::claimed;
        // A sandbox that gives every start the same pid: QLockFile sees the lock's process run.
        QTest::newRow("killed, with this start's pid")
            << QCoreApplication::applicationPid() << false << Claim::claimed;
        QTest::newRow("killed, its lock stuck") << gone << true << Claim::unavailable;
    }
    // A copy that was killed leaves its lock and its request file behind; the next start takes the
    // lock over, or runs without it, and hears later starts either way.
    void staleLockIsTakenOver()
    {
        QFETCH(qint64, pid);
        QFETCH(bool, stuck);
        QFETCH(Claim, expected);
        SingleInstance killed(settings());
        QVERIFY(test::writeStaleLock(killed.lockPath(), pid));
        QVERIFY(QFile(killed.requestPath()).open(QIODevice::WriteOnly));
        // QLockFile locks a lock before it removes it: held so, it stays, even for root.
        QFile held(killed.lockPath());
        QVERIFY(!stuck || (held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_EX) == 0));

        SingleInstance next(settings());
        QCOMPARE(next.claim(), expected);
        QSignalSpy raised(&next, &SingleInstance::activationRequested);
        QVERIFY(SingleInstance(settings()).requestActivation());
        QTRY_COMPARE(raised.count(), 1);
        if (stuck)
            QFile::remove(killed.lockPath());
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
