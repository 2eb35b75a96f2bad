#include "platform/updater/SetAsideCopies.h"

#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/VersionComparator.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace norvelle::installrecord {

namespace {

// A record in the running for deciding what becomes of its bundle's set-aside copies.
struct Candidate {
    QString staging;
    timespec written{};
    bool returning = false; // its copy was chosen over the others of its moment
    bool comesBack = false; // its copy may come back
    QString version;        // that copy's, where it may
};

bool decidesOver(const Candidate& a, const Candidate& b)
{
    const auto time = [](const Candidate& c) { return std::tuple(c.written.tv_sec, c.written.tv_nsec); };
    if (time(a) != time(b))
        return time(a) > time(b);
    if (a.returning != b.returning)
        return a.returning;
    if (a.comesBack != b.comesBack)
        return a.comesBack;
    return a.comesBack && VersionComparator::compare(a.version, b.version) > 0;
}

// The version a user knows the copy by.
QString versionOf(const QString& copy)
{
    const std::optional<UpdaterBundle> bundle = UpdaterBundle::load(copy);
    if (!bundle)
        return {};
    const QString shown = bundle->string(QStringLiteral("CFBundleShortVersionString")).trimmed();
    return shown.isEmpty() ? bundle->string(QStringLiteral("CFBundleVersion")).trimmed() : shown;
}

} // namespace

bool isWholeBundle(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    // Not blocking on a FIFO at that name.
    const int fd = ::open(QFile::encodeName(path + QStringLiteral("/Contents/Info.plist")).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const bool whole = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (fd >= 0)
        ::close(fd);
    return whole;
}

bool mayComeBack(const QString& path, const Record& record)
{
    return !record.removing && (QFileInfo(path).isSymLink() || isWholeBundle(path));
}

QSet<QString> decidingRecords(const QDir& dir, const QStringList& names)
{
    QHash<QString, Candidate> deciding;
    for (const QString& name : names) {
        const std::optional<QString> bundleName = stagedBundleOf(name);
        if (!bundleName)
            continue;
        const QString record = recordIn(dir.filePath(name));
        const std::optional<Record> read = readRecord(record);
        struct stat info {};
        if (!read || bundleOf(read->aside, asideMark, asideIdLength, true) != *bundleName ||
            ::lstat(QFile::encodeName(record).constData(), &info) != 0)
            continue;
        const QString aside = dir.filePath(read->aside);
        Candidate candidate{name, info.st_mtim, read->returning, mayComeBack(aside, *read), {}};
        if (candidate.comesBack)
            candidate.version = versionOf(aside);
        const auto found = deciding.constFind(*bundleName);
        if (found == deciding.cend() || decidesOver(candidate, *found))
            deciding.insert(*bundleName, candidate);
    }
    QSet<QString> stagings;
    for (const Candidate& candidate : std::as_const(deciding))
        stagings.insert(candidate.staging);
    return stagings;
}

} // namespace norvelle::installrecord
