#include "platform/updater/InstallRecord.h"

#include "platform/file/SafeFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvelle::installrecord {

namespace {

constexpr qint64 maxRecordBytes = 4096;

bool isIdOf(QStringView id, qsizetype length, bool hexOnly)
{
    if (id.size() != length)
        return false;
    return std::all_of(id.begin(), id.end(), [hexOnly](QChar c) {
        const char16_t u = c.unicode();
        const bool hex = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f');
        return hexOnly ? hex : (u < 128 && c.isLetterOrNumber());
    });
}

// Whether the file at to is the record at from under a second name, or a copy of it: what a kill
// between the two steps of moveWithoutReplacing's fallbacks leaves. Both hold the same bytes.
bool isSecondNameOf(const QByteArray& from, const QByteArray& to)
{
    struct stat target {};
    if (::lstat(to.constData(), &target) != 0 || !S_ISREG(target.st_mode))
        return false; // a link is nobody's record
    const std::optional<QByteArray> original =
        SafeFile::readRegularFile(QFile::decodeName(from), maxRecordBytes);
    const std::optional<QByteArray> copy = SafeFile::readRegularFile(QFile::decodeName(to), maxRecordBytes);
    return original && copy && *original == *copy;
}

// A copy of the record at from, at a name made for it: nothing there is replaced.
bool copyExclusively(const QByteArray& from, const QByteArray& to)
{
    const std::optional<QByteArray> bytes =
        SafeFile::readRegularFile(QFile::decodeName(from), maxRecordBytes);
    if (!bytes)
        return false;
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes->constData(), std::size_t(bytes->size())) == bytes->size();
    if (::close(fd) != 0 || !written) {
        ::unlinkat(AT_FDCWD, to.constData(), 0); // ours: made just now
        errno = EIO;
        return false;
    }
    return true;
}

// Moves the record at from to to, replacing nothing that already has that name (a file of the
// user's so named stays): a rename that refuses to replace, or, on a file system without one, a
// second name made by link or, without hard links either, a copy made exclusively (neither ever
// replaces anything), and then the first name's removal. A kill between those two steps leaves
// both names, which the next try recognises: the kernel answers EEXIST for a taken name before it
// asks the file system whether it knows the flag.
bool moveWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) {
        if (!isSecondNameOf(from, to)) {
            errno = EEXIST;
            return false;
        }
    } else if (errno != EINVAL && errno != ENOSYS) {
        return false;
    } else if (::link(from.constData(), to.constData()) != 0) {
        if ((errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) || !copyExclusively(from, to))
            return false;
    }
    return ::unlinkat(AT_FDCWD, from.constData(), 0) == 0;
}

} // namespace

std::optional<QString> bundleOf(const QString& name, QLatin1String mark, qsizetype idLength, bool hexOnly)
{
    const qsizetype at = name.size() - idLength - mark.size();
    if (at <= 1 || !name.startsWith(QLatin1Char('.')) || QStringView(name).mid(at, mark.size()) != mark ||
        !isIdOf(QStringView(name).mid(at + mark.size()), idLength, hexOnly))
        return std::nullopt;
    const QString bundleName = name.mid(1, at - 1);
    if (!bundleName.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return std::nullopt;
    return bundleName;
}

std::optional<QString> stagedBundleOf(const QString& name)
{
    return bundleOf(name, stagingMark, stagingIdLength, false);
}

QString recordIn(const QString& staging)
{
    return staging + QLatin1Char('/') + recordName;
}

std::optional<Record> readRecord(const QString& path)
{
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(path, maxRecordBytes);
    if (!bytes || !bytes->startsWith(recordTag))
        return std::nullopt;
    const QByteArray rest = bytes->mid(recordTag.size());
    for (const QByteArray& key : {asideKey, removalKey, returnKey}) {
        if (rest.startsWith(key))
            return Record{QFile::decodeName(rest.mid(key.size()).trimmed()), key == removalKey,
                          key == returnKey};
    }
    return Record{};
}

QByteArray recordOf(const QByteArray& key, const QString& asideName)
{
    return recordTag + key + QFile::encodeName(asideName) + '\n';
}

bool writeRecord(const QString& staging, const QByteArray& content, QString* error, bool keepTime)
{
    // Written aside and renamed in, so a kill mid-write leaves the old record whole. Not synced:
    // the rename it guards reaches the disk after it in the journal's order.
    const QString path = recordIn(staging);
    const QString partial = path + QStringLiteral(".new");
    // A record's time says when its install's swap began, or its new version was in place: a sweep
    // that rewrites one keeps it, so an older install's record never becomes the newest.
    struct stat old {};
    if (keepTime && ::lstat(QFile::encodeName(path).constData(), &old) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    QFile file(partial);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(content) == content.size() && file.flush();
    QString why = file.errorString();
    if (written && keepTime) {
        const timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
        written = ::futimens(file.handle(), times) == 0;
        why = QString::fromLocal8Bit(std::strerror(errno));
    }
    // Closed before it is removed: on a full disk the close fails too, and QFile removes no file
    // whose close failed.
    file.close();
    if (written &&
        std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    if (written)
        why = QString::fromLocal8Bit(std::strerror(errno));
    if (error)
        *error = why;
    QFile::remove(partial);
    return false;
}

bool removeStaging(const QString& staging, const std::stop_token& stop, const DiskSync::Pace& pace)
{
    if (!DiskSync::removeContents(staging, recordName, stop, pace))
        return false;
    const QByteArray mark = QFile::encodeName(staging + recordName);
    const bool moved = moveWithoutReplacing(QFile::encodeName(recordIn(staging)), mark);
    if (!moved && errno != ENOENT)
        return false;
    if (::unlinkat(AT_FDCWD, QFile::encodeName(staging).constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        return false;
    if (moved)
        ::unlinkat(AT_FDCWD, mark.constData(), 0); // else the sweep's
    return true;
}

} // namespace norvelle::installrecord
