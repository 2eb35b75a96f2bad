#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace norvelle::test {

// Writes zip and tar archives with libarchive, including entries no honest archive
// has (paths with "..", absolute paths, links out), to feed the updater's extractor.
class UpdaterArchiveBuilder {
public:
    enum class Format { zip, tar, tarGzip, tarBzip2, tarXz };

    UpdaterArchiveBuilder& addFile(const QString& path, const QByteArray& data, int mode = 0644);
    UpdaterArchiveBuilder& addDirectory(const QString& path, int mode = 0755);
    UpdaterArchiveBuilder& addSymlink(const QString& path, const QString& target);
    UpdaterArchiveBuilder& addHardlink(const QString& path, const QString& target);
    // Adds a directory from disk and everything below it as prefix/<relative path>;
    // symbolic links are stored as links.
    UpdaterArchiveBuilder& addTree(const QString& directory, const QString& prefix);

    // Zip entries stored, not compressed: their bytes lie in the archive as they are.
    UpdaterArchiveBuilder& storeUncompressed();

    // Writes the archive; false (with a warning) when libarchive refuses.
    bool write(const QString& archivePath, Format format) const;

    static QString extension(Format format); // ".zip", ".tar.gz", …

private:
    struct Entry {
        enum class Type { file, directory, symlink, hardlink };
        Type type;
        QString path;
        QByteArray data;
        QString target;
        int mode;
    };
    QList<Entry> m_entries;
    bool m_store = false;
};

} // namespace norvelle::test
