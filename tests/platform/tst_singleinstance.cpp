#include "TestFiles.h"
#include "platform/SingleInstance.h"
#include "platform/file/FolderLock.h"

#include <QLockFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace norvelle;
using Claim = SingleInstance::Claim;

// A descriptor of a dead copy's lock that another start, one that did not wait for the folder,
// flocks just before this one's removal of that lock does. Set by the test's thread, read by
// whichever flocks.
static std::atomic<int> s_takenMeanwhile = -1;
// Set with s_takenMeanwhile: the lock is removed instead, as its copy quits.
static std::atomic<bool> s_removedMeanwhile = false;
// Tries to hold a folder, which only claims and quits make.
static std::atomic<int> s_folderTries = 0;
// Refuses, once, QLockFile's flock of a lock it makes (open for reading and writing).
static std::atomic<bool> s_refusedLockFlock = false;

extern "C" int flock(int fd, int operation) noexcept
{
    static const auto real = reinterpret_cast<decltype(&flock)>(dlsym(RTLD_NEXT, "flock"));
    struct stat locked {
    }, taken{};
    if (operation != (LOCK_EX | LOCK_NB) || ::fstat(fd, &locked) != 0)
        return real(fd, operation);
    s_folderTries += S_ISDIR(locked.st_mode);
    if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR && s_refusedLockFlock.exchange(false)) {
        errno = ENOLCK;
        return -1;
    }
    int meanwhile = s_takenMeanwhile;
    if (meanwhile >= 0 && ::fstat(meanwhile, &taken) == 0 && locked.st_ino == taken.st_ino &&
        locked.st_dev == taken.st_dev && s_takenMeanwhile.compare_exchange_strong(meanwhile, -1))
        s_removedMeanwhile ? std::filesystem::remove(
                                 std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(meanwhile)))
                           : real(meanwhile, LOCK_EX);
    return real(fd, operation);
}

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

        {
            // A process that keeps the folder holds up no quit: it is tried once.
            const FolderLock kept(QFileInfo(settings()).absolutePath());
            s_folderTries = 0;
            first.reset();
            QCOMPARE(s_folderTries.load(), 1);
        }
        QVERIFY(!second.requestActivation()); // nobody to ask
        QCOMPARE(second.claim(), Claim::claimed);
    }

    void staleLockIsTakenOver_data()
    {
        QTest::addColumn<qint64>("pid");          // the one the lock names; 0: just made, nothing in it yet
        QTest::addColumn<QStringList>("changed"); // its lines that differ from this machine's
        // Another's flock on it: LOCK_EX a running copy's, LOCK_SH a start's that looks at it, -1
        // the start's that made it, taken while this start waits for the folder that start holds,
        // -2 a start's that takes it over while this one removes it; -3 none, while a process
        // keeps the folder past the wait; -4 none, and the kernel refuses this start's flock; -5
        // none, and it is removed while this start removes it.
        QTest::addColumn<int>("hold");
        // The settings folder: made "read-only" or "write-only" since, or "linked" to by the path
        // that the start is given.
        QTest::addColumn<QString>("folderMode");
        QTest::addColumn<Claim>("expected");
        const qint64 gone = std::numeric_limits<int>::max();
        QTest::newRow("killed") << gone << QStringList{} << 0 << "" << Claim::claimed;
        // A sandbox that gives every start the same pid: QLockFile sees the lock's process run.
        QTest::newRow("killed, with this start's pid")
            << QCoreApplication::applicationPid() << QStringList{} << 0 << "" << Claim::claimed;
        // A copy in a PID namespace of its own names its pid there.
        QTest::newRow("killed, with this start's pid, another start takes it over")
            << QCoreApplication::applicationPid() << QStringList{} << -2 << "" << Claim::heldElsewhere;
        QTest::newRow("killed, with this start's pid, removed meanwhile")
            << QCoreApplication::applicationPid() << QStringList{} << -5 << "" << Claim::claimed;
        // As a file of random bytes, nothing QLockFile wrote: no machine's lock.
        QTest::newRow("naming no pid")
            << gone << QStringList{"pid=\x0c\x14", "host=fM\x0c", "machine="} << 0 << "" << Claim::claimed;
        QTest::newRow("running in another PID namespace")
            << 1ll << QStringList{} << LOCK_EX << "" << Claim::heldElsewhere;
        QTest::newRow("killed, its folder made read-only")
            << gone << QStringList{} << 0 << "read-only" << Claim::unavailable;
        QTest::newRow("killed on a host renamed since, its folder made read-only")
            << gone << QStringList{"host=renamed"} << 0 << "read-only" << Claim::unavailable;
        // Two starts at once over a dead copy's lock: the one that looks at it goes on to run.
        QTest::newRow("killed, another start looks")
            << gone << QStringList{} << LOCK_SH << "" << Claim::heldElsewhere;
        QTest::newRow("killed, its folder made read-only, another start looks")
            << gone << QStringList{} << LOCK_SH << "read-only" << Claim::heldElsewhere;
        QTest::newRow("just made by a start") << 0ll << QStringList{} << -1 << "" << Claim::heldElsewhere;
        QTest::newRow("just made by a start, its folder made write-only")
            << 0ll << QStringList{} << -1 << "write-only" << Claim::heldElsewhere;
        QTest::newRow("just made by a start, its folder linked to")
            << 0ll << QStringList{} << -1 << "linked" << Claim::heldElsewhere;
        QTest::newRow("just made by a killed start, this start's flock refused")
            << 0ll << QStringList{} << -4 << "" << Claim::claimed;
        QTest::newRow("killed, its folder kept by another process")
            << gone << QStringList{} << -3 << "" << Claim::busy;
    }
    // A copy that was killed leaves its lock and its request file behind; the next start takes the
    // lock over, or runs without it, and is asked to come forward by every later start either way.
    // A copy that runs, or starts, is found by its hold on the lock, whatever pid it names.
    void staleLockIsTakenOver()
    {
        QFETCH(qint64, pid);
        QFETCH(QStringList, changed);
        QFETCH(int, hold);
        QFETCH(QString, folderMode);
        QFETCH(Claim, expected);
        const QString folder = QFileInfo(settings()).absolutePath();
        const QString linked = m_dir.filePath(QStringLiteral("linked"));
        QVERIFY(QFileInfo(linked).isSymLink() || QFile::link(folder, linked));
        const bool restricted = folderMode.endsWith(QLatin1String("-only"));
        SingleInstance killed(settings());
        QVERIFY(QDir().mkpath(folder));
        QFile::remove(killed.lockPath()); // an earlier row's, which names this process
        QVERIFY(pid == 0 ? QFile(killed.lockPath()).open(QIODevice::WriteOnly)
                         : test::writeStaleLock(killed.lockPath(), pid, changed));
        QVERIFY(QFile(killed.requestPath()).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(killed.requestPath()), 0666) == 0);
        // What every start sees of another: QLockFile's hold (flock) on its lock.
        QFile other(killed.lockPath());
        QVERIFY(other.open(QIODevice::ReadOnly) && (hold <= 0 || ::flock(other.handle(), hold) == 0));
        // The start that made it flocks it once this one opens the folder to wait for it, or, in
        // a folder it cannot read, the file that stands in for it.
        std::optional<FolderLock> starting;
        const QString claims = killed.lockPath() + QStringLiteral(".claims");
        QFile standIn(claims);
        QVERIFY((hold != -1 && hold != -3) ||
                (folderMode == QLatin1String("write-only")
                     ? standIn.open(QIODevice::ReadWrite) && ::flock(standIn.handle(), LOCK_EX) == 0
                     : starting.emplace(folder).isHeld()));
        const int opens = ::inotify_init1(IN_CLOEXEC);
        const QString opened = standIn.isOpen() ? claims : QFileInfo(folder).absolutePath();
        QVERIFY(hold != -1 || ::inotify_add_watch(opens, QFile::encodeName(opened), IN_OPEN) >= 0);
        std::thread flocks([&] {
            char event[4096];
            if (hold == -1 && ::read(opens, event, sizeof event) > 0 &&
                ::flock(other.handle(), LOCK_EX) == 0) {
                starting.reset();
                standIn.close();
            }
        });
        // Root writes anywhere: it looks as a user without rights would.
        const uid_t user = ::geteuid();
        const auto writable = qScopeGuard([&] {
            QVERIFY(!restricted || user != 0 || ::seteuid(0) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder), 0700) == 0);
            // Wakes the start that made it where this one did not wait.
            QDir(folder).entryList();
            QFile(claims).open(QIODevice::ReadOnly);
            flocks.join();
            ::close(opens);
        });
        if (restricted) {
            const mode_t mode = folderMode == QLatin1String("read-only") ? 0555 : 0333;
            for (QString up = folder; up.startsWith(m_dir.path()); up = QFileInfo(up).absolutePath())
                QVERIFY(::chmod(QFile::encodeName(up), up == folder ? mode : 0755) == 0);
            QVERIFY(user != 0 || ::seteuid(65534) == 0);
        }

        SingleInstance next(folderMode == QLatin1String("linked") ? linked + QStringLiteral("/Norvelle.conf")
                                                                  : settings());
        s_takenMeanwhile = hold == -2 || hold == -5 ? other.handle() : -1;
        s_removedMeanwhile = hold == -5;
        s_refusedLockFlock = hold == -4;
        // As the launcher takes its own lock: without a dead copy's held in its place.
        QLockFile launcher(next.lockPath());
        QCOMPARE(hold == -2 ? SingleInstance::take(launcher, next.lockPath()) : next.claim(), expected);
        QCOMPARE(s_takenMeanwhile.load(), -1);
        QCOMPARE(next.holdsStaleLock(),
                 folderMode == QLatin1String("read-only") && expected == Claim::unavailable);
        if (expected == Claim::heldElsewhere || expected == Claim::busy)
            return;
        QSignalSpy raised(&next, &SingleInstance::activationRequested);
        QCOMPARE(SingleInstance(settings()).claim(), Claim::heldElsewhere);
        QVERIFY(SingleInstance(settings()).requestActivation());
        QTRY_COMPARE(raised.count(), 1);
    }

    void oddFilesAtItsNamesAreNotUsed_data()
    {
        QTest::addColumn<QString>("name"); // beside the settings
        // What has it: a "fifo", a "link" or a "hard link" to a file of the user's elsewhere, a
        // "dangling link" to a name elsewhere, or a "folder".
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Claim>("expected");
        const QString lock = QStringLiteral(".running"), request = QStringLiteral(".activate");
        // In a folder that grants writing but not reading.
        const QString standIn = QStringLiteral(".running.claims");
        QTest::newRow("a FIFO at the lock") << lock << "fifo" << Claim::unavailable;
        QTest::newRow("a link at the lock") << lock << "link" << Claim::unavailable;
        QTest::newRow("a FIFO at the request file") << request << "fifo" << Claim::claimed;
        QTest::newRow("a link at the request file") << request << "link" << Claim::claimed;
        QTest::newRow("a hard link at the request file") << request << "hard link" << Claim::claimed;
        QTest::newRow("a dangling link at the request file") << request << "dangling link" << Claim::claimed;
        QTest::newRow("a folder at the request file") << request << "folder" << Claim::claimed;
        QTest::newRow("a FIFO at the folder's stand-in") << standIn << "fifo" << Claim::claimed;
        QTest::newRow("a dangling link at the folder's stand-in")
            << standIn << "dangling link" << Claim::claimed;
    }
    // Opening a FIFO waits for its other end, which may never come: no start, nor quit, waits on
    // one, and none is used as a lock or a request file. A link, or a file with other names, is
    // the user's: nothing is emptied or written through it, nor made where it points. At the
    // request file's name, all but a folder give way, at the start, to a file of the running
    // copy's own, so that later starts still bring it forward; the quit leaves what the user put
    // there since.
    void oddFilesAtItsNamesAreNotUsed()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(Claim, expected);
        QTemporaryDir dir, elsewhere;
        const QString settings = dir.filePath(QStringLiteral("Norvelle.conf"));
        const QString users = elsewhere.filePath(QStringLiteral("notes.txt"));
        const QString target =
            kind == QLatin1String("dangling link") ? elsewhere.filePath(QStringLiteral("absent")) : users;
        // Writable by all, so that a start acting as a user without rights could write there too.
        QVERIFY(::chmod(QFile::encodeName(elsewhere.path()), 0777) == 0);
        QFile own(users);
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("the user's own\n") > 0 && own.flush());
        QVERIFY(::chmod(QFile::encodeName(users), 0666) == 0);
        const QByteArray named = QFile::encodeName(settings + name);
        const auto put = [&] {
            return kind == QLatin1String("fifo")        ? ::mkfifo(named, 0666) == 0
                   : kind == QLatin1String("hard link") ? ::link(QFile::encodeName(users), named) == 0
                   : kind == QLatin1String("folder")    ? ::mkdir(named, 0700) == 0
                                                        : QFile::link(target, settings + name);
        };
        QVERIFY(put());
        const bool writeOnly = name.endsWith(QLatin1String(".claims"));
        const uid_t user = ::geteuid();
        const auto restored = qScopeGuard(
            [&] { QVERIFY(::seteuid(user) == 0 && ::chmod(QFile::encodeName(dir.path()), 0700) == 0); });
        QVERIFY(!writeOnly ||
                (::chmod(QFile::encodeName(dir.path()), 0333) == 0 && (user != 0 || ::seteuid(65534) == 0)));

        QCOMPARE(FolderLock(dir.path(), {}, QStringLiteral("Norvelle.conf") + name).isHeld(), !writeOnly);
        QVERIFY(!SingleInstance::ownerRuns(settings + QStringLiteral(".running")));
        QByteArray usersText = "the user's own\n";
        const auto untouched = [&] {
            return test::readFile(users) == usersText && (target == users || !QFileInfo::exists(target));
        };
        auto first = std::make_unique<SingleInstance>(settings);
        QSignalSpy raised(first.get(), &SingleInstance::activationRequested);
        QCOMPARE(first->claim(), expected);
        QVERIFY(untouched());
        SingleInstance later(settings);
        QCOMPARE(later.claim(), expected == Claim::claimed ? Claim::heldElsewhere : expected);
        const bool heard = kind != QLatin1String("folder");
        QCOMPARE(later.requestActivation(), heard);
        QTRY_COMPARE(raised.count(), heard ? 1 : 0);
        struct stat left {};
        if (name == QLatin1String(".activate")) {
            // Put there while the copy runs, it is the user's too, and what reaches it under another
            // name is no request; once it is gone, the name is taken up again.
            const bool folder = kind == QLatin1String("folder");
            QVERIFY(folder || (::unlink(named) == 0 && put()));
            // A change is queued before the call that makes it returns: one pass of the event
            // loop hears it.
            QCoreApplication::processEvents();
            QVERIFY(own.write("changed since\n") > 0 && own.flush());
            usersText += "changed since\n";
            QCoreApplication::processEvents();
            QCOMPARE(raised.count(), heard ? 1 : 0);
            QVERIFY(!later.requestActivation());
            QVERIFY((folder ? ::rmdir(named) : ::unlink(named)) == 0);
            QTRY_VERIFY(later.requestActivation());
            QTRY_COMPARE(raised.count(), heard ? 2 : 1);
            QVERIFY(::unlink(named) == 0 && put() && ::lstat(named, &left) == 0);
        }
        first.reset();
        QVERIFY(untouched());
        struct stat kept {};
        QVERIFY(left.st_ino == 0 || (::lstat(named, &kept) == 0 && kept.st_ino == left.st_ino));
    }

    void leftoversOfKilledStartsGo_data()
    {
        QTest::addColumn<QString>("name");       // in the settings folder
        QTest::addColumn<QByteArray>("content"); // of the file there; "link": a link to another, empty
        QTest::addColumn<bool>("removed");
        const QString named = QStringLiteral("Norvelle.conf.activate.AbCdEf");
        QTest::newRow("a killed start's") << named << QByteArray() << true;
        QTest::newRow("with content") << named << QByteArray("notes") << false;
        QTest::newRow("a link") << named << QByteArray("link") << false;
        QTest::newRow("one letter more") << named + QLatin1Char('g') << QByteArray() << false;
        QTest::newRow("another settings file's") << "Other.conf.activate.AbCdEf" << QByteArray() << false;
    }
    // A start killed before it renamed its own file over the request file's name leaves that
    // file; the next start that runs removes it, and nothing that merely looks like it.
    void leftoversOfKilledStartsGo()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString path = dir.filePath(name), users = dir.filePath(QStringLiteral("notes.txt"));
        QFile left(path);
        QVERIFY(QFile(users).open(QIODevice::WriteOnly) &&
                (content == "link"
                     ? QFile::link(users, path)
                     : left.open(QIODevice::WriteOnly) && left.write(content) == content.size()));
        left.close();
        QCOMPARE(SingleInstance(dir.filePath(QStringLiteral("Norvelle.conf"))).claim(), Claim::claimed);
        QCOMPARE(QFileInfo::exists(path), !removed);
        QVERIFY(QFileInfo::exists(users));
    }

    // After a restart that followed a crash, the old pid is easily another user's process (a
    // system one): its executable cannot be read, so it is no copy of ours to hand over to.
    void anotherUsersProcessHoldsNothing()
    {
        QTemporaryDir shared;
        const QString lock = shared.filePath(QStringLiteral("Norvelle.conf.running"));
        QVERIFY(test::writeStaleLock(lock, 1));
        QVERIFY(::chmod(QFile::encodeName(shared.path()), 0755) == 0 &&
                ::chmod(QFile::encodeName(lock), 0644) == 0);
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
