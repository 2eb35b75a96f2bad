#include "platform/updater/ArchiveExtractor.h"

#include "platform/updater/DiskSync.h"
#include "platform/updater/UpdaterError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace norvelle {

namespace {

[[noreturn]] void fail(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::extractionFailed,
                       QStringLiteral("The update could not be extracted: ") + why);
}

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;
using Writer = std::unique_ptr<archive, decltype(&archive_write_free)>;

QString entryPath(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    const char* raw = archive_entry_pathname(entry);
    return raw ? QFile::decodeName(raw) : QString();
}

QString linkTarget(const char* utf8, const char* raw)
{
    if (utf8)
        return QString::fromUtf8(utf8);
    return raw ? QFile::decodeName(raw) : QString();
}

QString errorText(archive* a)
{
    const char* text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

// libarchive's own text for a refused write is only "Write failed"; the system's reason
// (a full disk, a file too large) is what tells the user why.
QString writeError(archive* writer, const QString& name)
{
    const int code = archive_errno(writer);
    if (code <= 0)
        return errorText(writer);
    return QStringLiteral("could not write \"") + name + QStringLiteral("\": ") +
           QString::fromLocal8Bit(std::strerror(code));
}

[[noreturn]] void tooLarge(qint64 maxBytes)
{
    fail(QStringLiteral("it unpacks to more than ") + QString::number(maxBytes) + QStringLiteral(" bytes"));
}

// libarchive reports a failed write (a full disk) and a bad zip CRC as a warning,
// so only a clean result counts here.
void copyData(archive* reader, archive* writer, const QString& name, const std::stop_token& stop,
              const std::function<void()>& tick, qint64& unpacked, qint64 maxBytes)
{
    const void* buffer = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        if (stop.stop_requested())
            fail(QStringLiteral("cancelled"));
        const int r = archive_read_data_block(reader, &buffer, &size, &offset);
        if (r == ARCHIVE_EOF)
            return;
        if (r != ARCHIVE_OK)
            fail(errorText(reader));
        unpacked += qint64(size);
        // A sparse entry's offset makes a file as large as its data would.
        if (unpacked > maxBytes || offset > maxBytes - qint64(size))
            tooLarge(maxBytes);
        if (archive_write_data_block(writer, buffer, size, offset) != ARCHIVE_OK)
            fail(writeError(writer, name));
        tick();
    }
}

// Where a hard link at `relative` may point: a regular file already written inside the same
// top folder (the bundle), reached without leaving it. A link to a symbolic link would copy that
// link to a place where its relative target may lead out of the bundle.
QString hardLinkTarget(const QString& root, const QString& relative, const QString& target,
                       const QString& name)
{
    const std::optional<QString> cleaned = ArchiveExtractor::safeRelativePath(target);
    const QString top = relative.section(QLatin1Char('/'), 0, 0);
    const bool atTop = top == relative;
    if (!cleaned || cleaned->isEmpty() || (!atTop && !cleaned->startsWith(top + QLatin1Char('/'))))
        fail(QStringLiteral("the link \"") + name + QStringLiteral("\" points outside the update"));
    const QString path = root + QLatin1Char('/') + *cleaned;
    const QString within = atTop ? root : root + QLatin1Char('/') + top;
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !QFileInfo(path).canonicalFilePath().startsWith(within + QLatin1Char('/')))
        fail(QStringLiteral("the link \"") + name +
             QStringLiteral("\" does not point to a file in its bundle"));
    return path;
}

} // namespace

ArchiveExtractor::Kind ArchiveExtractor::kindForName(const QString& fileName)
{
    const QString name = fileName.toLower();
    if (name.endsWith(QLatin1String(".zip")))
        return Kind::zip;
    for (const char* suffix : {".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tbz", ".tbz2", ".tar.xz", ".txz"}) {
        if (name.endsWith(QLatin1String(suffix)))
            return Kind::tar;
    }
    if (name.endsWith(QLatin1String(".dmg")))
        return Kind::diskImage;
    if (name.endsWith(QLatin1String(".pkg")) || name.endsWith(QLatin1String(".mpkg")))
        return Kind::installerPackage;
    if (name.endsWith(QLatin1String(".delta")))
        return Kind::delta;
    return Kind::unknown;
}

std::optional<QString> ArchiveExtractor::safeRelativePath(const QString& entryPath)
{
    if (entryPath.isEmpty() || entryPath.startsWith(QLatin1Char('/')) || entryPath.contains(QChar(0)))
        return std::nullopt;
    QStringList kept;
    for (const QString& part : entryPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::nullopt;
        kept.append(part);
    }
    return kept.join(QLatin1Char('/'));
}

bool ArchiveExtractor::isSafeLink(const QString& linkRelativePath, const QString& target)
{
    if (target.isEmpty() || target.startsWith(QLatin1Char('/')) || target.contains(QChar(0)))
        return false;
    // The link's folders were written by us, so they are real folders: climbing out of
    // them with leading ".." is fine while it stays inside the top folder the link sits in,
    // the bundle that gets installed. Anything beside that bundle here sits beside it in the
    // applications folder after the swap, and the bundle may be renamed on the way, so even a
    // climb that names the bundle again is refused. A ".." after a name could climb out of
    // another link's target, so it is not accepted.
    QStringList parts = linkRelativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        parts.removeLast();
    qsizetype depth = parts.size();
    const qsizetype lowest = parts.isEmpty() ? 0 : 1;
    bool descending = false;
    for (const QString& part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (descending || depth <= lowest)
                return false;
            --depth;
        } else {
            descending = true;
        }
    }
    return true;
}

void ArchiveExtractor::extract(const QString& archivePath, const QString& targetDirectory,
                               const ProgressHandler& progress, std::stop_token stop)
{
    extract(archivePath, targetDirectory, progress, std::move(stop), Limits{});
}

void ArchiveExtractor::extract(const QString& archivePath, const QString& targetDirectory,
                               const ProgressHandler& progress, std::stop_token stop, const Limits& limits)
{
    // A canonical target keeps libarchive's link checks from tripping over links in
    // the path above it (such as /var on macOS).
    const QString root = QFileInfo(targetDirectory).canonicalFilePath();
    if (root.isEmpty())
        fail(QStringLiteral("the folder ") + targetDirectory + QStringLiteral(" does not exist"));
    const qint64 total = QFileInfo(archivePath).size();

    Reader reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_bzip2(reader.get());
    archive_read_support_filter_xz(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        fail(errorText(reader.get()));

    Writer writer(archive_write_disk_new(), &archive_write_free);
    archive_write_disk_set_options(
        writer.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                          ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_NO_OVERWRITE);

    int lastPercent = -1;
    auto tick = [&] {
        if (!progress || total <= 0)
            return;
        const la_int64_t read = archive_filter_bytes(reader.get(), -1);
        const int percent = int(std::clamp<qint64>(read * 100 / total, 0, 100));
        if (percent > lastPercent) {
            lastPercent = percent;
            progress(percent / 100.0);
        }
    };
    tick();

    archive_entry* entry = nullptr;
    qint64 entries = 0;
    qint64 unpacked = 0;
    for (;;) {
        if (stop.stop_requested())
            fail(QStringLiteral("cancelled"));
        const int r = archive_read_next_header(reader.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_WARN)
            fail(errorText(reader.get()));
        if (++entries > limits.maxEntries)
            fail(QStringLiteral("it holds more than ") + QString::number(limits.maxEntries) +
                 QStringLiteral(" entries"));
        // Refuse early what its header already says is too much.
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limits.maxBytes - unpacked)
            tooLarge(limits.maxBytes);

        const QString name = entryPath(entry);
        const std::optional<QString> cleaned = safeRelativePath(name);
        if (!cleaned)
            fail(QStringLiteral("the entry \"") + name + QStringLiteral("\" points outside the update"));
        if (cleaned->isEmpty())
            continue; // "./": the target itself
        const QString& relative = *cleaned;
        // Resource forks that macOS zips carry beside the real files.
        if (relative == QLatin1String("__MACOSX") || relative.startsWith(QLatin1String("__MACOSX/")))
            continue;

        // A tar hard link comes with no file type of its own, so it is told by its target.
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            const QString target = hardLinkTarget(
                root, relative, linkTarget(archive_entry_hardlink_utf8(entry), hardlink), name);
            archive_entry_set_hardlink(entry, QFile::encodeName(target).constData());
        } else {
            switch (archive_entry_filetype(entry)) {
            case AE_IFREG:
            case AE_IFDIR:
                break;
            case AE_IFLNK:
                if (!isSafeLink(relative,
                                linkTarget(archive_entry_symlink_utf8(entry), archive_entry_symlink(entry))))
                    fail(QStringLiteral("the link \"") + name +
                         QStringLiteral("\" points outside the update"));
                break;
            default:
                fail(QStringLiteral("the entry \"") + name + QStringLiteral("\" is a special file"));
            }
        }
        archive_entry_set_pathname(entry, QFile::encodeName(root + QLatin1Char('/') + relative).constData());
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);

        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            fail(writeError(writer.get(), relative));
        if (archive_entry_size(entry) > 0 || !archive_entry_size_is_set(entry))
            copyData(reader.get(), writer.get(), relative, stop, tick, unpacked, limits.maxBytes);
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            fail(writeError(writer.get(), relative));
        tick();
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        fail(errorText(writer.get()));
    QString syncError;
    bool unopened = false;
    if (!DiskSync::syncTree(root, &syncError, stop, &unopened)) {
        if (stop.stop_requested())
            fail(QStringLiteral("cancelled"));
        fail((unopened ? QStringLiteral("it holds a file or folder that could not be opened (")
                       : QStringLiteral("it could not be written to the disk (")) +
             syncError + QLatin1Char(')'));
    }
    if (progress && lastPercent < 100)
        progress(1.0);
}

} // namespace norvelle
