#include "platform/file/SafeFile.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

private:
    int m_fd;
};

} // namespace

std::optional<QByteArray> SafeFile::readRegularFile(const QString& path, qint64 maximumSize, QString* error)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer that may never come.
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        setError(error, systemError(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        setError(error, systemError(errno));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        setError(error, QStringLiteral("not a regular file"));
        return std::nullopt;
    }
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
