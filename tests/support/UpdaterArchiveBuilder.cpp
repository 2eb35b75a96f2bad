#include "UpdaterArchiveBuilder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <unistd.h>

namespace norvelle::test {

UpdaterArchiveBuilder& UpdaterArchiveBuilder::addFile(const QString& path, const QByteArray& data, int mode)
{
    m_entries.append({Entry::Type::file, path, data, {}, mode});
    return *this;
}

UpdaterArchiveBuilder& UpdaterArchiveBuilder::addDirectory(const QString& path, int mode)
{
    m_entries.append({Entry::Type::directory, path, {}, {}, mode});
    return *this;
}

UpdaterArchiveBuilder& UpdaterArchiveBuilder::addSymlink(const QString& path, const QString& target)
{
    m_entries.append({Entry::Type::symlink, path, {}, target, 0777});
    return *this;
}

UpdaterArchiveBuilder& UpdaterArchiveBuilder::addHardlink(const QString& path, const QString& target)
{
    m_entries.append({Entry::Type::hardlink, path, {}, target, 0644});
    return *this;
}

UpdaterArchiveBuilder& UpdaterArchiveBuilder::storeUncompressed()
{
    m_store = true;
    return *this;
}

UpdaterArchiveBuilder& UpdaterArchiveBuilder::addTree(const QString& directory, const QString& prefix)
{
    const QDir root(directory);
    addDirectory(prefix);
    QDirIterator it(directory, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths.append(it.next());
    paths.sort(); // parents before children
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString name = prefix + QLatin1Char('/') + root.relativeFilePath(path);
        if (info.isSymLink()) {
            // The link's own text: relative targets must stay relative.
            char buffer[4096];
            const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
            addSymlink(name, n > 0 ? QFile::decodeName(QByteArray(buffer, int(n))) : QString());
        } else if (info.isDir()) {
            addDirectory(name);
        } else {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                addFile(name, file.readAll(), info.isExecutable() ? 0755 : 0644);
        }
    }
    return *this;
}

QString UpdaterArchiveBuilder::extension(Format format)
{
    switch (format) {
    case Format::zip:
        return QStringLiteral(".zip");
    case Format::tar:
        return QStringLiteral(".tar");
    case Format::tarGzip:
        return QStringLiteral(".tar.gz");
    case Format::tarBzip2:
        return QStringLiteral(".tar.bz2");
    case Format::tarXz:
        return QStringLiteral(".tar.xz");
    }
    return {};
}

bool UpdaterArchiveBuilder::write(const QString& archivePath, Format format) const
{
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), &archive_write_free);
    archive* a = writer.get();
    if (format == Format::zip) {
        archive_write_set_format_zip(a);
        if (m_store)
            archive_write_zip_set_compression_store(a);
    } else {
        archive_write_set_format_pax_restricted(a);
        if (format == Format::tarGzip)
            archive_write_add_filter_gzip(a);
        else if (format == Format::tarBzip2)
            archive_write_add_filter_bzip2(a);
        else if (format == Format::tarXz)
            archive_write_add_filter_xz(a);
    }
    if (archive_write_open_filename(a, QFile::encodeName(archivePath).constData()) != ARCHIVE_OK) {
        qWarning("cannot write archive: %s", archive_error_string(a));
        return false;
    }
    for (const Entry& e : m_entries) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            &archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), e.path.toUtf8().constData());
        archive_entry_set_perm(entry.get(), mode_t(e.mode));
        archive_entry_set_mtime(entry.get(), 1700000000, 0);
        switch (e.type) {
        case Entry::Type::file:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), e.data.size());
            break;
        case Entry::Type::directory:
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            break;
        case Entry::Type::symlink:
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_symlink_utf8(entry.get(), e.target.toUtf8().constData());
            break;
        case Entry::Type::hardlink:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_hardlink_utf8(entry.get(), e.target.toUtf8().constData());
            break;
        }
        if (archive_write_header(a, entry.get()) < ARCHIVE_WARN) {
            qWarning("cannot write archive entry %s: %s", qPrintable(e.path), archive_error_string(a));
            return false;
        }
        if (e.type == Entry::Type::file && !e.data.isEmpty() &&
            archive_write_data(a, e.data.constData(), size_t(e.data.size())) < 0) {
            qWarning("cannot write archive data: %s", archive_error_string(a));
            return false;
        }
    }
    return archive_write_close(a) == ARCHIVE_OK;
}

} // namespace norvelle::test
