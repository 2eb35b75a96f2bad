#include "platform/updater/DiskSync.h"

#include <QFile>
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

// Opens the folder name in parent to read its entries, never through a link, with the owner's
// rights in `needed` given to it where it lacks them: before the open, which fails on a folder its
// owner cannot read (mode 0000, 0300), and after it. A removal needs to read, enter and change every
// folder it empties.
int openFolder(int parent, const char* name, mode_t needed = S_IRWXU)
{
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name, flags);
    struct stat info {};
    if (fd < 0 && errno == EACCES && ::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode) && (info.st_mode & needed) != needed) {
        if (::fchmodat(parent, name, (info.st_mode | needed) & 07777, AT_SYMLINK_NOFOLLOW) == 0)
            fd = ::openat(parent, name, flags);
        else
            errno = EACCES;
    }
    if (fd >= 0 && ::fstat(fd, &info) == 0 && (info.st_mode & needed) != needed)
        ::fchmod(fd, (info.st_mode | needed) & 07777);
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

bool syncDescriptor(int fd)
{
#ifdef __APPLE__
    // fsync only reaches the drive's cache on macOS; F_FULLFSYNC reaches the medium.
    return ::fcntl(fd, F_FULLFSYNC) == 0 || ::fsync(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

bool syncAndClose(int fd)
{
    bool synced = syncDescriptor(fd);
    const int savedErrno = errno;
    if (::close(fd) != 0 && synced)
        synced = false;
    else
        errno = savedErrno;
    return synced;
}

// Where a sync failed, and whether in opening what it syncs rather than in writing it: a file or
// folder that cannot be opened says nothing about the disk.
struct SyncFailure {
    QByteArray path;
    int code = 0;
    bool unopened = false;
    bool fail(const QByteArray& at, bool opening)
    {
        path = at;
        code = errno;
        unopened = opening;
        return false;
    }
};

// Syncs every regular file and folder below the folder open at fd, each folder after what it
// holds, then that folder itself; closes fd. Links are not followed; their folder's sync covers
// them. A folder its owner cannot read is given the owner's right to read and enter it.
bool syncFolder(int fd, const QByteArray& path, const std::stop_token& stop, SyncFailure& failure)
{
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        failure.fail(path, true);
        ::close(fd);
        return false;
    }
    const auto synced = [&] {
        for (;;) {
            if (stop.stop_requested())
                return false;
            errno = 0;
            const dirent* entry = ::readdir(folder);
            if (!entry)
                return errno == 0 || failure.fail(path, true);
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            const QByteArray inner = path + '/' + entry->d_name;
            struct stat info {};
            if (::fstatat(::dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return failure.fail(inner, true);
            const bool isFolder = S_ISDIR(info.st_mode);
            if (!isFolder && !S_ISREG(info.st_mode))
                continue;
            const int child = isFolder ? openFolder(::dirfd(folder), entry->d_name, S_IRUSR | S_IXUSR)
                                       : ::openat(::dirfd(folder), entry->d_name,
                                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (child < 0)
                return failure.fail(inner, true);
            if (isFolder ? !syncFolder(child, inner, stop, failure)
                         : !syncAndClose(child) && !failure.fail(inner, false))
                return false;
        }
    }() && (syncDescriptor(::dirfd(folder)) || failure.fail(path, false));
    ::closedir(folder);
    return synced;
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
    return (fd >= 0 && syncAndClose(fd)) || report(error, path);
}

bool DiskSync::syncTree(const QString& root, QString* error, std::stop_token stop, bool* unopened)
{
    const QByteArray path = QFile::encodeName(root);
    SyncFailure failure;
    const int fd = openFolder(AT_FDCWD, path.constData(), S_IRUSR | S_IXUSR);
    if (fd >= 0 ? syncFolder(fd, path, stop, failure) : failure.fail(path, true))
        return true;
    if (failure.path.isEmpty())
        return false; // stopped
    if (unopened)
        *unopened = failure.unopened;
    if (error)
        *error = QFile::decodeName(failure.path) + QStringLiteral(": ") +
                 QString::fromLocal8Bit(std::strerror(failure.code));
    return false;
}

} // namespace norvelle
