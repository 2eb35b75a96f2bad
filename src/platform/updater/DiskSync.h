#pragma once

#include <QString>

namespace norvelle {

// Pushes files and folders to the disk before an update relies on them. A write the
// disk could not take (full, failing) often surfaces only here, so a false return
// means the data must not be trusted.
class DiskSync {
public:
    // Every regular file and folder below root, and root itself. Links are not
    // followed; their folder's sync covers them.
    static bool syncTree(const QString& root, QString* error);

    // One file or folder.
    static bool syncPath(const QString& path, QString* error);

private:
    DiskSync() = delete;
};

} // namespace norvelle
