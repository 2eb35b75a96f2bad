#pragma once

#include "platform/updater/UpdaterBundle.h"

#include <QString>
#include <stop_token>

namespace norvelle {

class InstallStaging;

// Puts an extracted update in place of the installed bundle. The installed bundle is
// renamed aside within its folder, the new one renamed in, and the old one removed
// only once the new one is in place; if moving the new one in fails, the old one is
// put back. Renames within one folder are atomic, so the bundle's path never holds a
// half-copied application; a process killed between the renames is put right by
// InstallRecovery, which leaves the bundle alone while the swap holds its FolderLock.
// File operations are virtual so tests can make them fail.
class BundleInstaller {
public:
    virtual ~BundleInstaller() = default;

    // The update's bundle in the extraction folder: the one named like the installed
    // bundle, else the only one. Throws UpdaterError (bundleInvalid) when there is
    // none, the choice is unclear, it has another identifier, or it is not newer.
    UpdaterBundle findUpdateBundle(const QString& extractedDirectory, const UpdaterBundle& installed) const;

    // Replaces the installed bundle by the update's. Throws UpdaterError
    // (installFailed), also while another swap of the bundle runs; the installed bundle
    // is then still, or again, in place. The staging folder records the set-aside copy before
    // the first rename, and is left to the sweep while that copy remains: when it cannot be put
    // back after a failed swap, when quitting interrupts its removal, or the removal fails.
    void replace(const QString& installedPath, const QString& updatePath, InstallStaging& staging,
                 std::stop_token quitting = {});

protected:
    virtual bool renamePath(const QString& from, const QString& to, QString* error);
    virtual bool removeTree(const QString& path, std::stop_token stop);
};

} // namespace norvelle
