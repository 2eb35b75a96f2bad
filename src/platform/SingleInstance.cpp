#include "platform/SingleInstance.h"

#include "platform/Logger.h"
#include "platform/Paths.h"
#include "platform/file/FolderLock.h"
#include "platform/file/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace norvelle {

namespace {

// A lock is taken and let go only under a hold on its folder. QLockFile creates its file before it
// flocks it, removes a stale one by name after flocking what it opened, and lets its own go
// before it removes it by name: a start between two of those steps would take a start in
// progress for a dead copy, or remove the lock another start has just taken. The hold needs no
// write access; in a folder that grants writing but not reading, a file beside the lock stands in.
FolderLock folderOf(const QString& lockPath, std::chrono::milliseconds wait)
{
    // By its real path, as the hold refuses a symbolic link and a settings folder often is one.
    const QFileInfo lock(lockPath);
    return FolderLock(QFileInfo(lock.absolutePath()).canonicalFilePath(), wait,
                      lock.fileName() + QStringLiteral(".claims"));
}

using Claim = SingleInstance::Claim;

// The wait is bounded: a process that keeps the folder longer is stopped or hung, maybe in the
// middle of its claim, and only a lock that a process holds tells that a copy runs.
template <typename Claiming> Claim inFolderOf(const QString& lockPath, Claiming claiming)
{
    const FolderLock folder = folderOf(lockPath, std::chrono::seconds(10));
    if (!folder.isBusy())
        return claiming(folder.isHeld());
    return SingleInstance::ownerRuns(lockPath) ? Claim::heldElsewhere : Claim::busy;
}

Claim takeInFolder(QLockFile& lock, const QString& path)
{
    // QLockFile reads, and removes, whatever has the lock's name, opening it through a link, and on
    // a FIFO waits for a writer that may never come. What is not a regular file (a link is none, as
    // QLockFile never makes one) is no lock, and none can be made there.
    struct stat named {};
    if (::lstat(QFile::encodeName(path).constData(), &named) == 0 && !S_ISREG(named.st_mode))
        return Claim::unavailable;
    // Whose lock is stale is ours to judge: by its age QLockFile would take another machine's
    // lock for a dead copy's after 30 s.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return Claim::claimed;
    if (lock.error() != QLockFile::LockFailedError)
        return Claim::unavailable;
    if (SingleInstance::ownerRuns(path))
        return Claim::heldElsewhere;
    // QLockFile keeps a lock for as long as a process of the name it records runs with its pid,
    // which a zombie, a pid taken by another program or this very process (a sandbox that gives
    // every start the same pid) all do. Its removal fails while a live process holds it: one that
    // took it in the meantime (a start that could not hold the folder) is the copy that runs. It
    // may be gone meanwhile too: its copy quits without waiting for the folder this start keeps.
    lock.removeStaleLockFile();
    if (lock.tryLock(0))
        return Claim::claimed;
    return SingleInstance::ownerRuns(path) ? Claim::heldElsewhere : Claim::unavailable;
}

// What holds nothing under the name at path (a link, a FIFO or a socket, or a file whose content
// stays under its other names) gives way to an empty file, made aside and renamed over it, so that
// nothing is written through it. False where something else is there, or the rename fails. Only
// under the hold on the folder, so that a later start can tell such a file left behind.
bool replaceWithOwnFile(const QString& path)
{
    struct stat named {};
    if (::lstat(QFile::encodeName(path).constData(), &named) != 0 ||
        !(S_ISLNK(named.st_mode) || S_ISFIFO(named.st_mode) || S_ISSOCK(named.st_mode) ||
          (S_ISREG(named.st_mode) && named.st_nlink > 1)))
        return false;
    QTemporaryFile made(path + QStringLiteral(".XXXXXX"));
    if (!made.open() ||
        ::rename(QFile::encodeName(made.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    made.setAutoRemove(false);
    return true;
}

// A start killed between making its own file and renaming it over the request file's name leaves
// that file behind. Starts make it only while they hold the folder, so while this one does, none is
// a start's in progress; the age of a file would prove nothing, as a start may be stopped for any
// time. Only what provably is one goes: a regular file, empty and of one name, named as
// QTemporaryFile names it (six letters).
void removeLeftovers(const QString& requestPath)
{
    const QFileInfo request(requestPath);
    const QDir folder = request.absoluteDir();
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(request.fileName()) + QStringLiteral("\\.[A-Za-z]{6}")));
    for (const QString& entry :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray path = QFile::encodeName(folder.filePath(entry));
        struct stat left {};
        if (leftover.match(entry).hasMatch() && ::lstat(path.constData(), &left) == 0 &&
            S_ISREG(left.st_mode) && left.st_nlink == 1 && left.st_size == 0)
            ::unlink(path.constData());
    }
}

std::pair<quint64, quint64> idOf(const struct stat& file)
{
    return {quint64(file.st_dev), quint64(file.st_ino)};
}

bool isOpen(int fd, const struct stat& named)
{
    struct stat open {};
    return fd >= 0 && ::fstat(fd, &open) == 0 && idOf(open) == idOf(named);
}

// A lock file may hold anything, and what it names is shown on a terminal or in a dialog: what is
// not printable text there shows as a replacement character.
QString printable(const QString& text)
{
    QList<uint> characters = text.toUcs4();
    for (uint& character : characters) {
        if (!QChar::isPrint(char32_t(character)))
            character = QChar::ReplacementCharacter;
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), characters.size());
}

} // namespace

SingleInstance::SingleInstance(QString settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(QFileInfo(settingsFile).absoluteFilePath())
{
}

SingleInstance::~SingleInstance()
{
    // Only by the copy that made it and holds the lock: a copy that runs beside it without the
    // lock would leave the holder deaf to every later start. What took its name since is the user's.
    const QByteArray requests = QFile::encodeName(requestPath());
    struct stat named {};
    if (m_lock && ::lstat(requests.constData(), &named) == 0 && isOpen(m_made, named))
        ::unlink(requests.constData());
    if (m_made >= 0)
        ::close(m_made);
    release(std::move(m_lock));
}

QString SingleInstance::settingsFileOf(const Paths& paths)
{
    return paths.settingsFile.isEmpty() ? QSettings().fileName() : paths.settingsFile;
}

SingleInstance::Claim SingleInstance::take(QLockFile& lock, const QString& path)
{
    return inFolderOf(path, [&](bool) { return takeInFolder(lock, path); });
}

void SingleInstance::release(std::unique_ptr<QLockFile> lock)
{
    if (!lock || !lock->isLocked())
        return;
    const FolderLock folder = folderOf(lock->fileName(), {});
    if (!folder.isBusy()) {
        lock->unlock();
        return;
    }
    // A quit does not wait for a process that keeps the folder. The lock's name goes while this
    // copy still holds it, so no start can take it for a dead copy's meanwhile; QLockFile would
    // remove whatever has the name by the time it lets go, so it never does, and the kernel lets
    // go of the hold when the process ends.
    QFile::remove(lock->fileName());
    static auto* const kept = new std::vector<std::unique_ptr<QLockFile>>;
    kept->push_back(std::move(lock));
}

SingleInstance::Claim SingleInstance::claim()
{
    if (m_lock)
        return Claim::claimed;
    QDir().mkpath(QFileInfo(m_settingsFile).absolutePath());
    // Held until the copy listens, so that a start that finds it running asks only once it hears.
    return inFolderOf(lockPath(), [this](bool heldFolder) {
        auto lock = std::make_unique<QLockFile>(lockPath());
        Claim claim = takeInFolder(*lock, lockPath());
        if (claim == Claim::claimed) {
            m_lock = std::move(lock);
            // QLockFile takes its lock even where its flock failed ("setNativeLocks failed"), and
            // a lock that no process holds is a dead copy's to every later start.
            if (!ownerRuns(lockPath()) && holdLockFile(Claim::claimed) != Claim::claimed)
                claim = Claim::unavailable;
        } else if (claim == Claim::unavailable) {
            // A dead copy's lock that cannot be removed (its folder was made read-only). A process
            // that holds it already is a start that came meanwhile without holding the folder, and
            // goes on to run.
            claim = holdLockFile(Claim::unavailable);
        }
        if (claim == Claim::heldElsewhere)
            return claim;
        if (heldFolder)
            removeLeftovers(requestPath());
        // Without the lock too: a later start that finds the request file asks through it, so it
        // must be heard wherever it can be.
        listen();
        return claim;
    });
}

// Held as QLockFile holds its own, which needs no write access: later starts then see this copy
// run, as they see one that holds the lock, and ask it to come forward.
SingleInstance::Claim SingleInstance::holdLockFile(Claim held)
{
    auto file = std::make_unique<QFile>(lockPath());
    if (!SafeFile::openRegularFile(*file, QIODevice::ReadOnly, SafeFile::Names::anyToRead))
        return Claim::unavailable;
    if (::flock(file->handle(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Claim::heldElsewhere : Claim::unavailable;
    m_heldFile = std::move(file);
    return held;
}

void SingleInstance::listen()
{
    if (m_watcher)
        return;
    // Requests left from an earlier run are not for this one; a file that can be read but not
    // emptied counts from its present end. Nothing is written through a link, nor into a file with
    // other names, which are someone else's: what holds nothing under the name gives way to a file
    // of our own, as otherwise no later start could ever bring this copy forward.
    QFile requests(requestPath());
    const auto emptied = [&requests] {
        return SafeFile::openRegularFile(requests, QIODevice::WriteOnly | QIODevice::Truncate);
    };
    struct stat made {};
    if ((emptied() || (replaceWithOwnFile(requestPath()) && emptied())) &&
        ::fstat(requests.handle(), &made) == 0) {
        m_made = ::fcntl(requests.handle(), F_DUPFD_CLOEXEC, 0);
        m_heard = idOf(made);
    }
    requests.close();
    // The folder, not the file: the name is what is followed, never what a link or another name of
    // the file leads to, and the folder tells when the name is free again. In a folder that cannot
    // be read, the file alone tells of its requests.
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(QFileInfo(m_settingsFile).absolutePath());
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SingleInstance::followRequestFile);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SingleInstance::followRequestFile);
    followRequestFile();
}

bool SingleInstance::ownerRuns(const QString& lockPath)
{
    if (!otherMachine(lockPath).isEmpty())
        return true; // nothing here can tell whether it runs
    // What cannot be read names no copy to hand over to.
    QFile file(lockPath);
    if (!SafeFile::openRegularFile(file, QIODevice::ReadOnly, SafeFile::Names::anyToRead))
        return false;
    // The pid it names tells nothing every start can see: a copy in another PID namespace names
    // its own pid there, one of another user has an executable nobody else may read, and a pid
    // may have gone to another program or to this very start. What every start sees is the
    // kernel's hold on the file (QLockFile holds its lock with flock): a held lock has a live copy
    // behind it, and one that nothing holds is stale.
    return ::flock(file.handle(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

QString SingleInstance::otherMachine(const QString& lockPath)
{
    // As QLockFile writes it: the pid, the executable's name, the host name, and (since Qt 5.10)
    // the machine's id. A file that names no pid first, or is larger than any lock, is no machine's
    // lock. The machine by its id where the lock names one: a laptop's host name follows the
    // network.
    QFile file(lockPath);
    const qint64 largest = 4096;
    QByteArray lock;
    if (SafeFile::openRegularFile(file, QIODevice::ReadOnly, SafeFile::Names::anyToRead))
        lock = file.read(largest + 1);
    const QList<QByteArray> lines = lock.size() > largest ? QList<QByteArray>() : lock.split('\n');
    bool named = false;
    if (lines.value(0).toLongLong(&named) <= 0 || !named)
        return {};
    const QString host = QString::fromUtf8(lines.value(2));
    const QByteArray machine = lines.value(3);
    const QString ownHost = QSysInfo::machineHostName();
    if (machine.isEmpty() ? host.isEmpty() || host == ownHost : machine == QSysInfo::machineUniqueId())
        return {};
    if (host.isEmpty())
        return QStringLiteral("the machine with id ") + printable(QString::fromLatin1(machine));
    return host == ownHost ? QStringLiteral("another machine also named ") + printable(host)
                           : printable(host);
}

bool SingleInstance::requestActivation() const
{
    // Only into a file the running copy made: one that is missing would not be watched.
    QFile requests(requestPath());
    if (!SafeFile::openRegularFile(requests,
                                   QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly))
        return false;
    const QByteArray line("activate\n");
    return requests.write(line) == line.size() && requests.flush();
}

// Every request adds a line, so a file that grew holds new ones; several that arrive together
// bring the window forward once. Only a regular file with no other name carries requests: a
// change to what a link or another name leads to is someone else's. What the user put at the name
// stays theirs, and is waited out.
void SingleInstance::followRequestFile()
{
    const QByteArray requests = QFile::encodeName(requestPath());
    struct stat named {};
    bool there = ::lstat(requests.constData(), &named) == 0;
    const bool free = !there && errno == ENOENT;
    if (m_made >= 0 && !(there && isOpen(m_made, named)))
        ::close(std::exchange(m_made, -1));
    if (free) {
        // Free again, as what had it was removed: without a file there no later start is heard.
        m_made = ::open(requests.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        m_requestsSeen = 0;
        there = ::lstat(requests.constData(), &named) == 0;
        if (there && isOpen(m_made, named))
            m_heard = idOf(named);
    }
    if (!there || !S_ISREG(named.st_mode) || named.st_nlink != 1) {
        m_watcher->removePath(requestPath());
        m_heard.reset();
        if (std::exchange(m_hearing, false))
            Logger::warning(QStringLiteral("Later starts cannot bring this copy forward: ") + requestPath() +
                            QStringLiteral(" is no file Norvelle can use"));
        return;
    }
    m_hearing = true;
    // Watched once it has been seen to be a file: should a link take the name in between, what it
    // leads to is heard only until the folder tells of it, and a change there never counts, as
    // the look above finds no file of ours.
    if (m_heard != idOf(named))
        m_watcher->removePath(requestPath());
    if (!m_watcher->files().contains(requestPath()))
        m_watcher->addPath(requestPath());
    if (m_heard != idOf(named)) {
        m_heard = idOf(named);
        m_requestsSeen = named.st_size;
        return;
    }
    const bool grew = named.st_size > m_requestsSeen;
    m_requestsSeen = named.st_size;
    if (grew)
        Q_EMIT activationRequested();
}

} // namespace norvelle
