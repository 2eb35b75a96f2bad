#include "platform/SingleInstance.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QSettings>
#include <QSysInfo>

#include <cerrno>
#include <limits>
#include <sys/file.h>
#include <sys/types.h>

namespace norvelle {

SingleInstance::SingleInstance(QString settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(QFileInfo(settingsFile).absoluteFilePath())
{
}

SingleInstance::~SingleInstance()
{
    if (m_lock || m_watcher)
        QFile::remove(requestPath());
}

QString SingleInstance::settingsFileOf(const Paths& paths)
{
    return paths.settingsFile.isEmpty() ? QSettings().fileName() : paths.settingsFile;
}

SingleInstance::Claim SingleInstance::take(QLockFile& lock, const QString& path)
{
    if (lock.tryLock(0))
        return Claim::claimed;
    if (lock.error() != QLockFile::LockFailedError)
        return Claim::unavailable;
    if (ownerRuns(path))
        return Claim::heldElsewhere;
    // QLockFile keeps a lock for as long as a process of the name it records runs with its pid,
    // which a zombie, a pid taken by another program or this very process (a sandbox that gives
    // every start the same pid) all do. Its removal fails while a live process holds it.
    return lock.removeStaleLockFile() && lock.tryLock(0) ? Claim::claimed : Claim::unavailable;
}

SingleInstance::Claim SingleInstance::claim()
{
    if (m_lock)
        return Claim::claimed;
    QDir().mkpath(QFileInfo(m_settingsFile).absolutePath());
    auto lock = std::make_unique<QLockFile>(lockPath());
    const Claim claim = take(*lock, lockPath());
    if (claim == Claim::heldElsewhere)
        return claim;
    if (claim == Claim::claimed)
        m_lock = std::move(lock);
    // Without the lock too: a later start that finds the request file asks through it, so it
    // must be heard wherever it can be.
    listen();
    return claim;
}

void SingleInstance::listen()
{
    if (m_watcher)
        return;
    // Requests left from an earlier run are not for this one; a file that can be read but not
    // emptied counts from its present end.
    QFile requests(requestPath());
    if (requests.open(QIODevice::WriteOnly | QIODevice::Truncate))
        m_requestsSeen = 0;
    else if (requests.open(QIODevice::ReadOnly))
        m_requestsSeen = requests.size();
    else
        return; // nothing to hear through: later starts find no file to ask through
    requests.close();
    m_watcher = new QFileSystemWatcher({requestPath()}, this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SingleInstance::readRequests);
}

bool SingleInstance::ownerRuns(const QString& lockPath)
{
    // As QLockFile writes it: the pid, the executable's name, the host name, and (since Qt 5.10)
    // the machine's and the boot's ids. What cannot be read names no copy to hand over to.
    QFile file(lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = file.read(4096).split('\n');
    if (lines.size() < 3)
        return false;
    bool numeric = false;
    const qint64 pid = lines[0].toLongLong(&numeric);
    const QString app = QString::fromUtf8(lines[1]);
    const QString host = QString::fromUtf8(lines[2]);
    const QByteArray machine = lines.value(3);
    const QByteArray boot = lines.value(4);
    // The machine by its id where the lock names one: a laptop's host name follows the network.
    const bool here = machine.isEmpty() ? host.isEmpty() || host == QSysInfo::machineHostName()
                                        : machine == QSysInfo::machineUniqueId();
    if (!here)
        return true; // nothing here can tell whether it runs
    if (!boot.isEmpty() && boot != QSysInfo::bootUniqueId())
        return false; // its process ended with the machine's last run
    if (!numeric || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // This very process is another copy only while the lock is held (QLockFile holds it with
    // flock): in a sandbox that gives every start the same pid, a copy killed a moment ago had
    // this one, and the kernel let go of its hold when it died.
    if (pid == QCoreApplication::applicationPid())
        return ::flock(file.handle(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    // Only a process whose executable can be read and is ours counts: a pid gone to another
    // program, another user's process (which a copy of ours on these settings is not), and a
    // killed copy not yet reaped (a zombie, whose executable is gone) all hold nothing.
    QString executable = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (executable.endsWith(QLatin1String(" (deleted)"))) // replaced by an update while it runs
        executable.chop(10);
    return !executable.isEmpty() && QFileInfo(executable).fileName() == app;
}

bool SingleInstance::requestActivation() const
{
    // Only into a file the running copy made: one that is missing would not be watched.
    QFile requests(requestPath());
    if (!requests.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly))
        return false;
    const QByteArray line("activate\n");
    return requests.write(line) == line.size() && requests.flush();
}

// Every request adds a line, so a file that grew holds new ones; several that arrive together
// bring the window forward once.
void SingleInstance::readRequests()
{
    const qint64 size = QFileInfo(requestPath()).size();
    const bool grew = size > m_requestsSeen;
    m_requestsSeen = size;
    // A file replaced rather than written to is no longer watched.
    if (!m_watcher->files().contains(requestPath()) && QFileInfo::exists(requestPath()))
        m_watcher->addPath(requestPath());
    if (grew)
        Q_EMIT activationRequested();
}

} // namespace norvelle
