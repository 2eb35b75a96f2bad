#pragma once

#include <QString>

namespace norvelle {

// Puts right what a killed install left beside a bundle. An install stages its download in
// ".<name>.update-<id>" and, while swapping, keeps the installed bundle at ".<name>.old-<id>";
// a power cut or kill -9 between the swap's two renames leaves the application only there.
// Leftovers that a running install still holds (FolderLock) are never touched.
class InstallRecovery {
public:
    // Where an install keeps the bundle at bundlePath aside while swapping (a new name each time).
    static QString asidePath(const QString& bundlePath);
    // The template (for QTemporaryDir) of the staging folder of an update of bundlePath.
    static QString stagingTemplate(const QString& bundlePath);

    // In folder: a missing bundle gets its set-aside copy back; a set-aside copy beside its bundle
    // (the swap finished) and staging folders are removed. Logs what it does.
    static void recoverFolder(const QString& folder);
    // The folder and the folders in it that are not bundles, as applications are found there.
    static void recoverApplications(const QString& applicationsFolder);

private:
    InstallRecovery() = delete;
};

} // namespace norvelle
