#include "platform/updater/DiskSync.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace norvelle {

namespace {

bool report(QString* error, const QString& path)
{
    if (error)
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace

bool DiskSync::syncPath(const QString& path, QString* error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return report(error, path);
#ifdef __APPLE__
    // fsync only reaches the drive's cache on macOS; F_FULLFSYNC reaches the medium.
    bool synced = ::fcntl(fd, F_FULLFSYNC) == 0 || ::fsync(fd) == 0;
#else
    bool synced = ::fsync(fd) == 0;
#endif
    const int savedErrno = errno;
    if (::close(fd) != 0 && synced)
        synced = false;
    else
        errno = savedErrno;
    return synced || report(error, path);
}

bool DiskSync::syncTree(const QString& root, QString* error)
{
    QStringList folders;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink())
            continue;
        if (info.isDir())
            folders.append(path);
        else if (info.isFile() && !syncPath(path, error))
            return false;
    }
    // Deepest first, so each folder's entries are settled before its parent's.
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
        if (!syncPath(*folder, error))
            return false;
    }
    return syncPath(root, error);
}

} // namespace norvelle
