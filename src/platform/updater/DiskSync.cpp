#include "platform/updater/DiskSync.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvelle {

namespace {

bool report(QString* error, const QString& path)
{
    if (error)
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool removeAt(int parent, const char* name, const std::stop_token& stop, const DiskSync::Pace& pace);

// Every entry of the open folder but the one named kept; closes folderFd.
bool removeEntries(int folderFd, const char* kept, const std::stop_token& stop, const DiskSync::Pace& pace)
{
    DIR* folder = ::fdopendir(folderFd);
    if (!folder) {
        ::close(folderFd);
        return false;
    }
    bool removed = true;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0 ||
            (kept && std::strcmp(entry->d_name, kept) == 0))
            continue;
        if (!removeAt(::dirfd(folder), entry->d_name, stop, pace)) {
            removed = false;
            break;
        }
    }
    ::closedir(folder);
    return removed;
}

int openFolder(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // A read-only folder inside a bundle would keep its entries.
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && (info.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(fd, info.st_mode | S_IRWXU);
    return fd;
}

bool removeAt(int parent, const char* name, const std::stop_token& stop, const DiskSync::Pace& pace)
{
    if (pace)
        pace();
    if (stop.stop_requested())
        return false;
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT)
        return true;
    // Linux says EISDIR for a folder, macOS EPERM.
    if (errno != EISDIR && errno != EPERM)
        return false;
    const int fd = openFolder(parent, name);
    return fd >= 0 && removeEntries(fd, nullptr, stop, pace) &&
           (::unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT);
}

} // namespace

bool DiskSync::removeTree(const QString& root, std::stop_token stop, const Pace& pace)
{
    return removeAt(AT_FDCWD, QFile::encodeName(root).constData(), stop, pace);
}

bool DiskSync::removeBundle(const QString& root, std::stop_token stop, const Pace& pace)
{
    const QByteArray path = QFile::encodeName(root);
    // Step by step without following links: a bundle that is a link is removed as a link, and
    // nothing it points at is touched.
    const int bundle = openFolder(AT_FDCWD, path.constData());
    const int contents = bundle >= 0 ? openFolder(bundle, "Contents") : -1;
    if (bundle >= 0)
        ::close(bundle);
    if (contents >= 0) {
        const bool removed = removeAt(contents, "Info.plist", stop, pace);
        ::close(contents);
        if (!removed)
            return false;
    }
    return removeAt(AT_FDCWD, path.constData(), stop, pace);
}

bool DiskSync::removeContents(const QString& root, const QString& kept, std::stop_token stop,
                              const Pace& pace)
{
    const int fd = openFolder(AT_FDCWD, QFile::encodeName(root).constData());
    return fd >= 0 && removeEntries(fd, QFile::encodeName(kept).constData(), stop, pace);
}

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

bool DiskSync::syncTree(const QString& root, QString* error, std::stop_token stop)
{
    QStringList folders;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (stop.stop_requested())
            return false;
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
