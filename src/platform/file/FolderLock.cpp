#include "platform/file/FolderLock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace norvelle {

FolderLock::FolderLock(const QString& path, std::chrono::milliseconds wait, const QString& standIn)
{
    QByteArray encoded = QFile::encodeName(path);
    int fd = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES && !standIn.isEmpty()) {
        // flock needs no write access, and a file made here may be read by its maker. Whatever else
        // has the name (a FIFO, which would wait for a writer, a socket, a device) is no stand-in.
        encoded = QFile::encodeName(path + QLatin1Char('/') + standIn);
        fd = ::open(encoded.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    }
    struct stat opened {};
    if (fd >= 0 && (::fstat(fd, &opened) != 0 || !(S_ISDIR(opened.st_mode) || S_ISREG(opened.st_mode))))
        ::close(std::exchange(fd, -1));
    if (fd < 0)
        return;
    // flock cannot wait for a bounded time by itself.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_busy = errno == EWOULDBLOCK;
        if (!m_busy || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_busy = false;
    // Whoever held it before may have removed or renamed the folder meanwhile.
    struct stat locked {
    }, named{};
    if (::fstat(fd, &locked) != 0 || ::lstat(encoded.constData(), &named) != 0 ||
        locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace norvelle
