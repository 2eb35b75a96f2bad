#include "platform/SingleInstance.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLockFile>
#include <QSettings>
#include <QSysInfo>

#include <cerrno>
#include <limits>
#include <signal.h>

namespace norvelle {

SingleInstance::SingleInstance(QString settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(QFileInfo(settingsFile).absoluteFilePath())
{
}

SingleInstance::~SingleInstance()
{
    if (m_lock)
        QFile::remove(requestPath());
}

QString SingleInstance::settingsFileOf(const Paths& paths)
{
    return paths.settingsFile.isEmpty() ? QSettings().fileName() : paths.settingsFile;
}

SingleInstance::Claim SingleInstance::claim()
{
    if (m_lock)
        return Claim::claimed;
    QDir().mkpath(QFileInfo(m_settingsFile).absolutePath());
    auto lock = std::make_unique<QLockFile>(lockPath());
    // A lock whose process has ended is removed and taken at once.
    if (!lock->tryLock(0))
        return lock->error() == QLockFile::LockFailedError && ownerRuns(*lock) ? Claim::heldElsewhere
                                                                               : Claim::unavailable;
    m_lock = std::move(lock);

    // Requests left from an earlier run are not for this one.
    QFile requests(requestPath());
    if (requests.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        requests.close();
        m_watcher = new QFileSystemWatcher({requestPath()}, this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SingleInstance::readRequests);
    }
    return Claim::claimed;
}

bool SingleInstance::ownerRuns(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host;
    QString app;
    // What cannot be read (something else in the lock's place) names no copy to hand over to.
    if (!lock.getLockInfo(&pid, &host, &app))
        return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return true;
    // EPERM: it runs, as another user.
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    // The number may have gone to another program since; QLockFile records the executable's name.
    // One that cannot be read (another user's) is taken as the copy.
    QString executable = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (executable.endsWith(QLatin1String(" (deleted)"))) // replaced by an update while it runs
        executable.chop(10);
    return executable.isEmpty() || app.isEmpty() || QFileInfo(executable).fileName() == app;
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
