#include "services/ApplicationScanner.h"

#include "model/NorvelleError.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>

namespace norvelle {

namespace {

struct Entry {
    QString name;
    std::optional<bool> isDirectory; // none when the type cannot be told
};

struct Listing {
    QList<Entry> entries;
    int error = 0; // errno of a failed listing, 0 on success
};

class DirCloser {
public:
    explicit DirCloser(DIR* dir) : m_dir(dir) {}
    ~DirCloser()
    {
        if (m_dir)
            closedir(m_dir);
    }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* m_dir;
};

std::optional<bool> isDirectory(const QByteArray& folder, const dirent* entry)
{
#ifdef _DIRENT_HAVE_D_TYPE
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN)
        return false;
#endif
    struct stat info {};
    const QByteArray path = folder + '/' + QByteArray(entry->d_name);
    if (lstat(path.constData(), &info) != 0)
        return std::nullopt;
    return S_ISDIR(info.st_mode);
}

// All entries but "." and "..", in the order the file system gives them.
Listing list(const QString& folder)
{
    Listing listing;
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = opendir(encoded.constData());
    if (!dir) {
        listing.error = errno ? errno : EIO;
        return listing;
    }
    const DirCloser closer(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            listing.error = errno;
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        listing.entries.append(Entry{QFile::decodeName(name), isDirectory(encoded, entry)});
    }
    return listing;
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool ApplicationScanner::isBundleName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && QStringView(name).mid(dot + 1) == QLatin1String("app");
}

ApplicationScanner::Result ApplicationScanner::scan(const QString& folder)
{
    const Listing top = list(folder);
    if (top.error == ENOENT || top.error == ENOTDIR)
        throw NorvelleError::directoryNotFound(folder);
    if (top.error != 0)
        throw Error(QStringLiteral("Could not list the folder ") + folder + QStringLiteral(": ") + reason(top.error));

    Result result;
    QStringList subfolders;
    for (const Entry& entry : top.entries) {
        const QString path = folder + u'/' + entry.name;
        if (isBundleName(entry.name))
            result.bundlePaths.append(path);
        else if (entry.isDirectory.value_or(false))
            subfolders.append(path);
    }
    for (const QString& subfolder : subfolders) {
        const Listing inner = list(subfolder);
        if (inner.error != 0) {
            result.unreadableFolders.append(subfolder + QStringLiteral(": ") + reason(inner.error));
            continue;
        }
        for (const Entry& entry : inner.entries) {
            if (isBundleName(entry.name))
                result.bundlePaths.append(subfolder + u'/' + entry.name);
        }
    }
    return result;
}

} // namespace norvelle
