#include "platform/updater/InstallRecovery.h"

#include "platform/Logger.h"
#include "platform/file/SafeFile.h"
#include "platform/updater/DiskSync.h"
#include "util/Async.h"
#include "util/ScopeExit.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace norvelle {

namespace {

const QLatin1String asideMark(".old-");
const QLatin1String stagingMark(".update-");
constexpr qsizetype asideIdLength = 12;
constexpr qsizetype stagingIdLength = 6; // QTemporaryDir's "XXXXXX"

// Hidden, so that no download (whose name never starts with a dot) can take its place.
const QLatin1String recordName(".install-record");
const QByteArray recordTag("norvelle install\n");
// The set-aside copy may be all there is of the application (a swap cut short between its renames)...
const QByteArray asideKey("aside ");
// ...or it is no longer the application (the new version is in place, or its removal has begun).
const QByteArray removalKey("remove ");
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

// The bundle's name when name has the exact shape ".<bundle>.app<mark><id>" that an install makes.
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

struct Record {
    QString aside;         // empty when the swap had not begun
    bool removing = false; // the copy is never put back
};

// What an install's record says: none when the file is no record of ours.
std::optional<Record> readRecord(const QString& path)
{
    const std::optional<QByteArray> bytes = SafeFile::readRegularFile(path, maxRecordBytes);
    if (!bytes || !bytes->startsWith(recordTag))
        return std::nullopt;
    const QByteArray rest = bytes->mid(recordTag.size());
    for (const QByteArray& key : {asideKey, removalKey}) {
        if (rest.startsWith(key))
            return Record{QFile::decodeName(rest.mid(key.size()).trimmed()), key == removalKey};
    }
    return Record{};
}

QByteArray recordOf(const QByteArray& key, const QString& asideName)
{
    return recordTag + key + QFile::encodeName(asideName) + '\n';
}

bool writeRecord(const QString& staging, const QByteArray& content, QString* error, bool keepTime = false)
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

enum class Found { nothing, bundle, other };

Found foundAt(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return Found::other;
    if (!info.exists())
        return Found::nothing;
    return info.isDir() ? Found::bundle : Found::other;
}

bool putBack(const QString& folder, const QString& aside, const QString& bundle)
{
    if (std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(bundle).constData()) != 0) {
        Logger::error(QStringLiteral("Updater could not put back ") + bundle +
                      QStringLiteral(", which an interrupted update left at ") + aside +
                      QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    Logger::warning(QStringLiteral("Updater put back ") + bundle +
                    QStringLiteral(", which an interrupted update left at ") + aside);
    QString syncError;
    if (!DiskSync::syncPath(folder, &syncError))
        Logger::warning(QStringLiteral("Updater could not sync the swap to the disk: ") + syncError);
    return true;
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

// Removes a staging folder so that a kill at any point of it leaves what the next sweep finishes:
// the record goes last, moved out beside the folder (its name and the record's) for the moment
// the emptied folder is removed. Where that name is taken, the folder keeps its record, and a
// later sweep finishes it.
bool removeStaging(const QString& staging, const std::stop_token& stop, const DiskSync::Pace& pace = {})
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

// Logs how the removal of what an interrupted update left at path went; a stopped one is no failure.
bool reportRemoval(const QString& path, bool removed, const std::stop_token& stop)
{
    if (removed)
        Logger::info(QStringLiteral("Updater removed what an interrupted update left at ") + path);
    else if (!stop.stop_requested())
        Logger::warning(QStringLiteral("Updater could not remove what an interrupted update left at ") +
                        path);
    return removed;
}

// Staging folders that this process's sweeps hold, by device and inode: an install holds its own
// for all of its run, so a folder held by a sweep here must not be taken for an install's.
std::mutex sweptMutex;
std::set<std::pair<dev_t, ino_t>> sweptHere;

std::optional<std::pair<dev_t, ino_t>> identityOf(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

bool isSweptHere(const QString& path)
{
    const std::optional<std::pair<dev_t, ino_t>> identity = identityOf(path);
    const std::lock_guard lock(sweptMutex);
    return identity && sweptHere.count(*identity) > 0;
}

// A sweep's hold on a staging folder, which the process's other sweeps know for what it is.
class SweepHold {
public:
    explicit SweepHold(const QString& staging)
    {
        m_lock.emplace(staging);
        if (m_lock->isHeld())
            m_identity = identityOf(staging);
        if (m_identity) {
            const std::lock_guard lock(sweptMutex);
            sweptHere.insert(*m_identity);
        }
    }
    ~SweepHold()
    {
        m_lock.reset(); // let go first, so that nobody meanwhile takes the hold for an install's
        if (m_identity) {
            const std::lock_guard lock(sweptMutex);
            sweptHere.erase(*m_identity);
        }
    }
    SweepHold(const SweepHold&) = delete;
    SweepHold& operator=(const SweepHold&) = delete;

    bool isHeld() const { return m_identity.has_value(); }

private:
    std::optional<FolderLock> m_lock;
    std::optional<std::pair<dev_t, ino_t>> m_identity;
};

// Whether an install of the bundle runs, in this process or another: it holds its staging folder
// for all of its run and the bundle it sets aside until that copy is gone.
bool installRuns(const QDir& dir, const QString& bundleName)
{
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const QString path = dir.filePath(name);
        const bool ours = stagedBundleOf(name) == bundleName ||
                          bundleOf(name, asideMark, asideIdLength, true) == bundleName;
        if (ours && !isSweptHere(path) && FolderLock(path).isBusy())
            return true;
    }
    return false;
}

// Whether the copy at path is a whole application: a removal that was cut short may have left
// any part of one.
bool isWholeBundle(const QString& path)
{
    struct stat info {};
    return foundAt(path) == Found::bundle &&
           ::lstat(QFile::encodeName(path + QStringLiteral("/Contents/Info.plist")).constData(), &info) ==
               0 &&
           S_ISREG(info.st_mode);
}

// One pass of a sweep over a folder.
struct Pass {
    bool removing = false; // else it only puts back
    std::stop_token stop;
    DiskSync::Pace pace;
    int putBack = 0; // bundles put back
};

// Settles the copy the record in `staging` names. False while the copy must stay, and with it
// the record. Only a copy that a swap cut short may have left as all there is of the application
// is put back where the application is missing, and only the one that the deciding record of the
// bundle names: a copy whose removal had begun, or that is not whole, is what a quit or a kill left
// of its removal, and a missing application beside it is one the user removed. The others are
// removed.
bool settleAside(const QString& folder, const QString& bundleName, const Record& record,
                 const QString& staging, bool deciding, Pass& pass)
{
    // A record naming anything but this bundle's set-aside copy is not followed.
    if (bundleOf(record.aside, asideMark, asideIdLength, true) != bundleName)
        return true;
    const QDir dir(folder);
    const QString aside = dir.filePath(record.aside);
    if (foundAt(aside) != Found::bundle)
        return true; // removed already, or put back
    const QString bundle = dir.filePath(bundleName);
    const Found found = foundAt(bundle);
    // A running install leaves the name empty between its two renames, and nothing holds that name:
    // the application is left to it. Asked after looking, so an install that empties the name later
    // has already been seen here; one that starts later cannot move a bundle that is missing.
    if (found != Found::other && installRuns(dir, bundleName))
        return false;
    if (deciding && !record.removing && isWholeBundle(aside)) {
        // Killed between the swap's two renames.
        if (found == Found::nothing && putBack(folder, aside, bundle)) {
            ++pass.putBack;
            return true;
        }
        if (found != Found::bundle) // a link or a file, which no swap leaves: the copy may be all there is
            return false;
    }
    if (!pass.removing)
        return false;
    // Said before the first file goes, so that what a quit or a kill leaves of the copy is never
    // taken for an application.
    QString error;
    if (!record.removing &&
        !writeRecord(dir.filePath(staging), recordOf(removalKey, record.aside), &error, true)) {
        Logger::warning(QStringLiteral("Updater could not remove what an interrupted update left at ") +
                        aside + QStringLiteral(": ") + error);
        return false;
    }
    return reportRemoval(aside, DiskSync::removeBundle(aside, pass.stop, pass.pace), pass.stop);
}

// What a removal killed after it had moved the record out left: that record, beside the emptied
// folder unless it had gone too.
void removeMovedRecords(const QDir& dir, const std::stop_token& stop)
{
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        if (stop.stop_requested())
            return;
        const QString stagingName = name.chopped(std::min(name.size(), recordName.size()));
        if (!name.endsWith(recordName) || !stagedBundleOf(stagingName) || !readRecord(dir.filePath(name)))
            continue;
        const QString staging = dir.filePath(stagingName);
        if (foundAt(staging) != Found::nothing) {
            const FolderLock lock(staging);
            // Held by a removal that still runs, or not the empty folder a removal leaves.
            if (!lock.isHeld() || ::rmdir(QFile::encodeName(staging).constData()) != 0)
                continue;
        }
        if (::unlinkat(AT_FDCWD, QFile::encodeName(dir.filePath(name)).constData(), 0) == 0)
            reportRemoval(staging, true, stop);
    }
}

// The staging folders whose records decide what becomes of each bundle's set-aside copies: of all
// records naming copies of one bundle the newest, by when it was written, whatever it says (a newer
// removal means the application was in place after the older install). Of records written at the
// same moment (a coarse clock, or one set back) one whose copy could come back, as a missing
// application's whole copy may be all there is of it.
QSet<QString> decidingRecords(const QDir& dir, const QStringList& names)
{
    struct Deciding {
        QString staging;
        std::tuple<time_t, long, bool> rank;
    };
    QHash<QString, Deciding> deciding;
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
        const auto rank = std::tuple(info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
                                     !read->removing && isWholeBundle(dir.filePath(read->aside)));
        const auto found = deciding.constFind(*bundleName);
        if (found == deciding.cend() || rank > found->rank)
            deciding.insert(*bundleName, Deciding{name, rank});
    }
    QSet<QString> stagings;
    for (const Deciding& record : std::as_const(deciding))
        stagings.insert(record.staging);
    return stagings;
}

void sweep(const QString& folder, Pass& pass)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    const QSet<QString> deciding = decidingRecords(dir, names);
    for (const QString& name : names) {
        if (pass.stop.stop_requested())
            return;
        const std::optional<QString> bundleName = stagedBundleOf(name);
        if (!bundleName || (!pass.removing && !deciding.contains(name)))
            continue;
        const QString staging = dir.filePath(name);
        const SweepHold hold(staging);
        if (!hold.isHeld())
            continue; // a running install's, or gone meanwhile
        const std::optional<Record> record = readRecord(recordIn(staging));
        if (!record)
            continue; // not provably an install's
        if (!record->aside.isEmpty() &&
            !settleAside(folder, *bundleName, *record, name, deciding.contains(name), pass))
            continue;
        if (pass.removing)
            reportRemoval(staging, removeStaging(staging, pass.stop, pass.pace), pass.stop);
    }
    if (pass.removing)
        removeMovedRecords(dir, pass.stop);
}

void sweepApplications(const QString& applicationsFolder, Pass& pass)
{
    if (applicationsFolder.isEmpty())
        return;
    sweep(applicationsFolder, pass);
    const QDir dir(applicationsFolder);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (!name.endsWith(QLatin1String(".app")))
            sweep(dir.filePath(name), pass);
    }
}

// Restores of an applications folder begun in this process. A discovery looks there only after
// one, so what is put back before the first is listed by it.
std::atomic<int> restoresBegun{0};

// Puts back, over the applications folder (and the folders in it that are not bundles) and the
// other folders, the bundles that killed swaps left only in their set-aside copies; then, when
// removing, removes what else they left. Every put-back comes before any removal, so that an
// application is never missing while an older leftover of it goes. broughtBack hears of each
// pass that put anything back once a discovery may have looked.
void recover(const QString& applications, const QStringList& others, bool removing,
             const std::stop_token& stop, const DiskSync::Pace& pace = {},
             const std::function<void()>& broughtBack = {})
{
    for (const bool removal : {false, true}) {
        if (removal && !removing)
            return;
        Pass pass{removal, stop, removal ? pace : DiskSync::Pace()};
        sweepApplications(applications, pass);
        for (const QString& folder : others) {
            if (folder != applications)
                sweep(folder, pass);
        }
        if (pass.putBack > 0 && broughtBack && restoresBegun.load() > 0)
            broughtBack();
    }
}

// Background sweeps whose threads still run.
std::atomic<int> backgroundSweeps{0};

bool othersWork()
{
    return ioPool().activeThreadCount() > 0 || networkPool().activeThreadCount() > 0;
}

using Clock = std::chrono::steady_clock;

void waitForOthers(const std::stop_token& stop, Clock::time_point until)
{
    while (!stop.stop_requested() && othersWork() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The background sweep leaves the processor to other work without lowering its thread's share:
// a thread at a low share runs so seldom on a busy machine that the process, which ends only once
// each of its threads has run again, took a second to end at a quit, and an unprivileged process
// cannot raise a share again. Instead the sweep waits while the process has other work (a
// discovery, a check, an install), and after each millisecond of removals pauses for as long.
// It waits only for so long in all: an update check whose feed never ends would otherwise keep a
// leftover for the whole session. For the disk, it takes the lowest best-effort priority.
void sweepBehindOthers(const QString& applications, const QStringList& others, const std::stop_token& stop,
                       std::chrono::milliseconds patience, const std::function<void()>& broughtBack)
{
#ifdef __linux__
    // No wrapper in the C library; for the calling thread.
    constexpr int ofThread = 1, bestEffort = 2, classShift = 13, lowest = 7;
    ::syscall(SYS_ioprio_set, ofThread, 0, (bestEffort << classShift) | lowest);
#endif
    const Clock::time_point until = Clock::now() + patience;
    const DiskSync::Pace pace = [&stop, until, since = Clock::now()]() mutable {
        constexpr auto slice = std::chrono::milliseconds(1);
        if (Clock::now() - since < slice)
            return;
        std::this_thread::sleep_for(slice);
        waitForOthers(stop, until);
        since = Clock::now();
    };
    waitForOthers(stop, until);
    recover(applications, others, true, stop, pace, broughtBack);
}

} // namespace

InstallStaging::InstallStaging(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    QTemporaryDir created(bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + stagingMark +
                                                QString(stagingIdLength, QLatin1Char('X'))));
    if (!created.isValid())
        return;
    created.setAutoRemove(false);
    m_path = created.path();
    // A sweep that holds the folder for a moment (it has no record yet, so the sweep leaves it)
    // is waited for; nothing else can hold a folder made just now.
    m_lock = std::make_unique<FolderLock>(m_path, std::chrono::milliseconds(500));
    m_valid = m_lock->isHeld() && writeRecord(m_path, recordTag, nullptr);
}

InstallStaging::~InstallStaging()
{
    if (!m_path.isEmpty() && !m_leave)
        removeStaging(m_path, {});
}

QString InstallStaging::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

bool InstallStaging::recordAside(const QString& asidePath, QString* error)
{
    return writeRecord(m_path, recordOf(asideKey, QFileInfo(asidePath).fileName()), error);
}

bool InstallStaging::recordRemoval(const QString& asidePath, QString* error)
{
    return writeRecord(m_path, recordOf(removalKey, QFileInfo(asidePath).fileName()), error);
}

QString InstallRecovery::asidePath(const QString& bundlePath)
{
    const QFileInfo bundle(bundlePath);
    return bundle.dir().filePath(QLatin1Char('.') + bundle.fileName() + asideMark +
                                 QUuid::createUuid().toString(QUuid::Id128).left(asideIdLength));
}

void InstallRecovery::recoverFolder(const QString& folder, std::stop_token stop)
{
    recover({}, {folder}, true, stop);
}

void InstallRecovery::restoreFolder(const QString& folder)
{
    recover({}, {folder}, false, {});
}

void InstallRecovery::recoverApplications(const QString& applicationsFolder, std::stop_token stop)
{
    recover(applicationsFolder, {}, true, stop);
}

void InstallRecovery::restoreApplications(const QString& applicationsFolder)
{
    restoresBegun.fetch_add(1);
    recover(applicationsFolder, {}, false, {});
}

std::jthread InstallRecovery::sweepInBackground(const QString& applicationsFolder,
                                                const QStringList& otherFolders,
                                                std::function<void()> broughtBack,
                                                std::chrono::milliseconds patience)
{
    backgroundSweeps.fetch_add(1);
    return std::jthread([applications = applicationsFolder, others = otherFolders, patience,
                         broughtBack = std::move(broughtBack)](std::stop_token stop) mutable {
        // Counted until its last use of anything that a process's exit destroys: its folders
        // go before it is counted out.
        const ScopeExit counted([] { backgroundSweeps.fetch_sub(1); });
        sweepBehindOthers(std::exchange(applications, QString()), std::exchange(others, QStringList()), stop,
                          patience, std::exchange(broughtBack, nullptr));
    });
}

bool InstallRecovery::sweepingInBackground()
{
    return backgroundSweeps.load() > 0;
}

} // namespace norvelle
