#include "platform/file/SafeFile.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace norvelle {

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// O_NONBLOCK: opening a FIFO would otherwise wait for a writer (or a reader) that may never come.
int openRegular(const QString& path, int flags, struct stat* info, QString* error)
{
    Descriptor fd(::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0666));
    if (fd.get() < 0 || ::fstat(fd.get(), info) != 0) {
        const int code = errno;
        setError(error, systemError(code));
        errno = code;
        return -1;
    }
    if (!S_ISREG(info->st_mode)) {
        setError(error, QStringLiteral("not a regular file"));
        errno = EINVAL;
        return -1;
    }
    return fd.release();
}

} // namespace

std::optional<QByteArray> SafeFile::readRegularFile(const QString& path, qint64 maximumSize, QString* error)
{
    struct stat info {};
    Descriptor fd(openRegular(path, O_RDONLY, &info, error));
    if (fd.get() < 0)
        return std::nullopt;
    if (info.st_size > maximumSize) {
        setError(error, QStringLiteral("larger than %1 bytes").arg(maximumSize));
        return std::nullopt;
    }
    // Sized by the file; one byte more notices a file that grew past the limit meanwhile.
    QByteArray data(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (filled > maximumSize) {
                setError(error, QStringLiteral("larger than %1 bytes").arg(maximumSize));
                return std::nullopt;
            }
            data.resize(qsizetype(std::min<qint64>(maximumSize + 1, qint64(data.size()) * 2)));
        }
        const ssize_t got = ::read(fd.get(), data.data() + filled, size_t(data.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            setError(error, systemError(errno));
            return std::nullopt;
        }
        if (got == 0)
            break;
        filled += got;
    }
    data.truncate(filled);
    return data;
}

bool SafeFile::openRegularFile(QFile& file, QIODevice::OpenMode mode, Names names)
{
    const bool reads = mode.testFlag(QIODevice::ReadOnly), writes = mode.testFlag(QIODevice::WriteOnly);
    const int flags = (writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY) | O_NOFOLLOW |
                      (mode.testFlag(QIODevice::Append) ? O_APPEND : 0);
    const bool creates = writes && !mode.testFlag(QIODevice::ExistingOnly);
    struct stat info {};
    // O_CREAT alone would make a file wherever a dangling link at the name points.
    int opened = creates ? openRegular(file.fileName(), flags | O_CREAT | O_EXCL, &info, nullptr) : -1;
    if (opened < 0 && (!creates || errno == EEXIST))
        opened = openRegular(file.fileName(), flags, &info, nullptr);
    Descriptor fd(opened);
    if (fd.get() < 0 || (info.st_nlink != 1 && (writes || names == Names::one)))
        return false;
    // Only now: O_TRUNC would have emptied whatever the name turned out to be.
    if (mode.testFlag(QIODevice::Truncate) && ::ftruncate(fd.get(), 0) != 0)
        return false;
    if (!file.open(fd.get(), mode, QFileDevice::AutoCloseHandle))
        return false;
    fd.release();
    return true;
}

bool SafeFile::writeAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, file.errorString());
        return false;
    }
    // QSaveFile::commit() in Qt 6.4 can report success after a write or flush that failed, so
    // each step is checked here, and the data is synced so that a disk that fills up only when
    // the blocks are allocated is noticed before the rename.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        setError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (::fsync(file.handle()) != 0) {
        setError(error, systemError(errno));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}

} // namespace norvelle
