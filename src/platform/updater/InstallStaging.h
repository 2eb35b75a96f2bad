#pragma once

#include "platform/file/FolderLock.h"

#include <QString>
#include <memory>

namespace norvelle {

// The folder an install stages its download in, ".<name>.update-<6 letters or digits>" beside
// the bundle. It is locked while the install runs and carries a record that marks it as one of
// ours; before the swap's first rename the record names the set-aside copy
// (".<name>.old-<12 hex digits>"), and once the new version is in place it says that copy is to be
// removed (a sweep that puts the copy back says so there first). That record is what lets a later
// sweep tell a killed install's leftovers from a folder of the user's or of another program with a
// similar name, and a copy that may be all there is of the application from what is left of a removal.
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

} // namespace norvelle
