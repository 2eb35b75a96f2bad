#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <stop_token>
#include <thread>

namespace norvelle {

// Puts right what a killed install left beside a bundle: a power cut or kill -9 between the
// swap's two renames leaves the application only in its set-aside copy (or, for an application
// that is a link, in that link). Only what has the exact shapes an install makes, whose staging
// folder carries the install's record, is touched (an emptied staging folder only by rmdir, when
// a killed removal had moved its record out beside it); those a running install still holds
// (FolderLock) are left alone.
class InstallRecovery {
public:
    // Where an install keeps the bundle at bundlePath aside while swapping (a new name each time).
    static QString asidePath(const QString& bundlePath);

    // In folder: a missing bundle gets its recorded set-aside copy back, where a swap cut short left
    // it whole and no newer record of the bundle's copies says otherwise; an empty folder at the
    // bundle's name gives way to it, and beside anything else there that is no whole application
    // (nor a link that leads to one) it waits. Then other recorded copies (the swap finished, their
    // removal had begun, or another of their moment came back) and marked staging folders are
    // removed. Logs what it does. A stop ends it between two files; what is left stays recognisable
    // to the next sweep.
    static void recoverFolder(const QString& folder, std::stop_token stop = {});
    // Only the first of that: a rename for each missing bundle, and so quick enough to wait for
    // before anything looks for applications. Removing a large leftover is nobody's wait.
    static void restoreFolder(const QString& folder);
    // The same over the folder and the folders in it that are not bundles, as applications are
    // found there.
    static void recoverApplications(const QString& applicationsFolder, std::stop_token stop = {});
    static void restoreApplications(const QString& applicationsFolder);
    // recoverApplications and recoverFolder over the other folders, on a thread of its own that
    // waits behind all other work for the disk and, for at most `patience` in all, behind the
    // process's own work for the processor, pausing between its removals. broughtBack is called
    // on that thread once it has put bundles back after restoreApplications began here, which a
    // discovery calls before it looks: that discovery may have missed them.
    // Destroying the thread (or asking it to stop) ends the removals between two files. The thread
    // uses nothing but its own copies, broughtBack and the logger, and every step leaves what the
    // next sweep recognises, so a quit may let it go and end the process under it, as a kill
    // would, rather than wait for it to wake and see the stop.
    // The patience outlasts a start's discovery and first check, which then have the disk to
    // themselves.
    static std::jthread sweepInBackground(const QString& applicationsFolder, const QStringList& otherFolders,
                                          std::function<void()> broughtBack = {},
                                          std::chrono::milliseconds patience = std::chrono::seconds(30));
    // Whether such a thread still runs. The process then must leave without destroying statics.
    static bool sweepingInBackground();

private:
    InstallRecovery() = delete;
};

} // namespace norvelle
