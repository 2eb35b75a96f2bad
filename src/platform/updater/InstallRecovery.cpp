#include "platform/updater/InstallRecovery.h"

#include "platform/Logger.h"
#include "platform/file/FolderLock.h"
#include "platform/updater/DiskSync.h"
#include "platform/updater/InstallRecord.h"
#include "platform/updater/SetAsideCopies.h"
#include "platform/updater/SweepHold.h"
#include "util/Async.h"
#include "util/ScopeExit.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
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
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace norvelle {

namespace {

using namespace installrecord;

// What is at a bundle's name: nothing, a whole application (by the rule its set-aside copies are
// judged by, also where a link leads), a folder that is none, or something else (a file, a link).
enum class Found { nothing, bundle, folder, other };

Found foundAt(const QString& path)
{
    const QFileInfo info(path);
    // Discovery lists and updates the application a link leads to, so a removal of that link is
    // an uninstall. Judged by reading alone: nothing is put back over a link or removed through it.
    if (info.isSymLink())
        return isWholeBundle(info.canonicalFilePath()) ? Found::bundle : Found::other;
    if (!info.exists())
        return Found::nothing;
    if (!info.isDir())
        return Found::other;
    return isWholeBundle(path) ? Found::bundle : Found::folder;
}

// Whether path leads to the very file at target: to a folder there, not to where a link there leads.
bool leadsTo(const QString& path, const QString& target)
{
    struct stat led {};
    struct stat at {};
    return ::stat(QFile::encodeName(path).constData(), &led) == 0 &&
           ::lstat(QFile::encodeName(target).constData(), &at) == 0 && led.st_dev == at.st_dev &&
           led.st_ino == at.st_ino;
}

// Puts the copy at aside back at bundle, where found is nothing or a folder: the rename takes the
// place of an empty one, which holds nothing to lose, and fails on any other.
bool putBack(const QString& folder, const QString& aside, const QString& bundle, Found found)
{
    if (std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(bundle).constData()) != 0) {
        // A folder that is not empty is the user's, and the copy waits for the name, as the sweep says.
        if (found == Found::nothing)
            Logger::error(QStringLiteral("Updater could not put back ") + bundle +
                          QStringLiteral(", which an interrupted update left at ") + aside +
                          QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    Logger::warning(
        QStringLiteral("Updater put back ") + bundle +
        QStringLiteral(", which an interrupted update left at ") + aside +
        (found == Found::folder ? QStringLiteral(", in place of the empty folder there") : QString()));
    QString syncError;
    if (!DiskSync::syncPath(folder, &syncError))
        Logger::warning(QStringLiteral("Updater could not sync the swap to the disk: ") + syncError);
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

// Whether an install of the bundle runs, in this process or another: it holds its staging folder
// for all of its run and the bundle it sets aside until that copy is gone.
bool installRuns(const QDir& dir, const QString& bundleName)
{
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        const QString path = dir.filePath(name);
        const bool ours = stagedBundleOf(name) == bundleName ||
                          bundleOf(name, asideMark, asideIdLength, true) == bundleName;
        if (ours && !SweepHold::isSweptHere(path) && FolderLock(path).isBusy())
            return true;
    }
    return false;
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
// removed; a set-aside link, as a link. Only a whole application at the name is the application,
// or a link that leads to one: beside anything else there, the copy may be all there is of it.
bool settleAside(const QString& folder, const QString& bundleName, const Record& record,
                 const QString& staging, bool deciding, Pass& pass)
{
    // A record naming anything but this bundle's set-aside copy is not followed.
    if (bundleOf(record.aside, asideMark, asideIdLength, true) != bundleName)
        return true;
    const QDir dir(folder);
    const QString aside = dir.filePath(record.aside);
    // A link there is an application placed as a link, set aside as it was.
    if (const QFileInfo copy(aside); !copy.isSymLink() && !copy.isDir())
        return true; // removed already, or put back
    const QString bundle = dir.filePath(bundleName);
    const Found found = foundAt(bundle);
    // A running install leaves the name empty between its two renames, and nothing holds that name:
    // the application is left to it. Asked after looking, so an install that empties the name later
    // has already been seen here; one that starts later cannot move a bundle that is missing.
    if (found != Found::other && installRuns(dir, bundleName))
        return false;
    // A link there that leads to the copy makes the copy the application, which its removal would take.
    if (found == Found::bundle && leadsTo(bundle, aside))
        return false;
    QString error;
    if (deciding && mayComeBack(aside, record)) {
        if (found == Found::nothing || found == Found::folder) {
            // Killed between the swap's two renames. Said first, so that once the copy is back the
            // others recorded at its moment go, even where they would decide without this record.
            if (!record.returning &&
                !writeRecord(dir.filePath(staging), recordOf(returnKey, record.aside), &error, true))
                Logger::warning(QStringLiteral("Updater could not note which copy of ") + bundle +
                                QStringLiteral(" it puts back: ") + error);
            if (putBack(folder, aside, bundle, found)) {
                ++pass.putBack;
                return true;
            }
        }
        if (found != Found::bundle) {
            if (pass.removing && found != Found::nothing)
                Logger::warning(QStringLiteral("Updater could not put back ") + bundle +
                                QStringLiteral(", which an interrupted update left at ") + aside +
                                QStringLiteral(": what is at its name is no whole application, so the "
                                               "copy stays, and comes back once that is moved away"));
            return false;
        }
    }
    if (!pass.removing)
        return false;
    // Said before the first file goes, so that what a quit or a kill leaves of the copy is never
    // taken for an application.
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

// The names in their order, but for each deciding record, moved to right after the last other
// staging folder of its bundle. A deciding record says what becomes of the other copies of its
// bundle: it goes after them, and only once all of them have gone, so that a kill or a failure never
// leaves one of them to decide alone.
QStringList decidingLast(const QStringList& names, const QSet<QString>& deciding)
{
    QHash<QString, qsizetype> lastOther; // by bundle
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (const std::optional<QString> bundleName = stagedBundleOf(names[i]);
            bundleName && !deciding.contains(names[i]))
            lastOther.insert(*bundleName, i);
    }
    QStringList order;
    QHash<qsizetype, QString> movedAfter; // one deciding record a bundle
    for (qsizetype i = 0; i < names.size(); ++i) {
        const std::optional<QString> bundleName = stagedBundleOf(names[i]);
        if (bundleName && deciding.contains(names[i]) && lastOther.value(*bundleName, -1) > i)
            movedAfter.insert(lastOther.value(*bundleName), names[i]);
        else
            order.append(names[i]);
        if (movedAfter.contains(i))
            order.append(movedAfter.value(i));
    }
    return order;
}

void sweep(const QString& folder, Pass& pass)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    const QSet<QString> deciding = decidingRecords(dir, names);
    QSet<QString> staying; // bundles of which a copy may stay
    for (const QString& name : decidingLast(names, deciding)) {
        if (pass.stop.stop_requested())
            return;
        const std::optional<QString> bundleName = stagedBundleOf(name);
        if (!bundleName || (!pass.removing && !deciding.contains(name)))
            continue;
        const QString staging = dir.filePath(name);
        const SweepHold hold(staging);
        const std::optional<Record> record = hold.isHeld() ? readRecord(recordIn(staging)) : std::nullopt;
        if (!hold.isHeld() || // a running install's, or gone meanwhile
            (record && !record->aside.isEmpty() &&
             !settleAside(folder, *bundleName, *record, name, deciding.contains(name), pass))) {
            staying.insert(*bundleName);
            continue;
        }
        if (!record)
            continue; // not provably an install's
        if (pass.removing && !(deciding.contains(name) && staying.contains(*bundleName)))
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
