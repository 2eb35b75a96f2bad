#pragma once

#include "platform/file/FolderLock.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <stop_token>
#include <thread>

namespace norvelle {

// The folder an install stages its download in, ".<name>.update-<6 letters or digits>" beside
// the bundle. It is locked while the install runs and carries a record that marks it as one of
// ours; before the swap's first rename the record names the set-aside copy
// (".<name>.old-<12 hex digits>"), and once the new version is in place it says that copy is to be
// removed. That record is what lets a later sweep tell a killed install's leftovers from a folder
// of the user's or of another program with a similar name, and a copy that may be all there is of
// the application from what is left of a removal.
class InstallStaging {
public:
    // Creates, locks and marks the folder; isValid() says whether all of it worked.
    explicit InstallStaging(const QString& bundlePath);
    // Removes the folder, unless it was left to the sweep. The record goes last, so a kill at any
    // point of the removal leaves what the next sweep finishes.
    ~InstallStaging();
    InstallStaging(const InstallStaging&) = delete;
    InstallStaging& operator=(const InstallStaging&) = delete;

    bool isValid() const { return m_valid; }
    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const;

    // Names the copy that the swap is about to set aside. False (with the reason) when the
    // record cannot be written: a swap must not start then, as nothing could put it right.
    bool recordAside(const QString& asidePath, QString* error);
    // Says that the set-aside copy is no longer the application (the new version is in place), so
    // that what a quit or a kill leaves of its removal is never put back. False (with the reason)
    // when the record cannot be written: the copy must not be removed then.
    bool recordRemoval(const QString& asidePath, QString* error);
    // Keeps the folder (and what it records) for the sweep at the next start: quitting does not
    // wait for the removal of a large download or bundle, and a set-aside copy that is still
    // there must stay recognisable.
    void leaveToSweep() { m_leave = true; }

private:
    QString m_path;
    std::unique_ptr<FolderLock> m_lock;
    bool m_valid = false;
    bool m_leave = false;
};

// Puts right what a killed install left beside a bundle: a power cut or kill -9 between the
// swap's two renames leaves the application only in its set-aside copy. Only folders of the
// exact shapes an install makes, whose staging folder carries the install's record, are
// touched (an emptied one only by rmdir, when a killed removal had moved its record out beside
// it); those a running install still holds (FolderLock) are left alone.
class InstallRecovery {
public:
    // Where an install keeps the bundle at bundlePath aside while swapping (a new name each time).
    static QString asidePath(const QString& bundlePath);

    // In folder: a missing bundle gets its recorded set-aside copy back, where a swap cut short left
    // it whole (the newest install's of several); other recorded copies (the swap finished, or
    // their removal had begun) and marked staging folders are removed. Logs what it does.
    // A stop ends it between two files; what is left stays recognisable to the next sweep.
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
    // process's own work for the processor, pausing between its removals. Destroying the thread
    // (or asking it to stop) ends the removals between two files. The thread uses nothing but its
    // own copies and the logger, and every step leaves what the next sweep recognises, so a quit
    // may let it go and end the process under it, as a kill would, rather than wait for it to wake
    // and see the stop.
    // The patience outlasts a start's discovery and first check, which then have the disk to
    // themselves.
    static std::jthread sweepInBackground(const QString& applicationsFolder, const QStringList& otherFolders,
                                          std::chrono::milliseconds patience = std::chrono::seconds(30));
    // Whether such a thread still runs. The process then must leave without destroying statics.
    static bool sweepingInBackground();

private:
    InstallRecovery() = delete;
};

} // namespace norvelle
