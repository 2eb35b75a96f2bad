#pragma once

#include <QString>
#include <functional>
#include <stop_token>

namespace norvelle {

// Pushes files and folders to the disk before an update relies on them. A write the
// disk could not take (full, failing) often surfaces only here, so a false return
// means the data must not be trusted.
class DiskSync {
public:
    // Every regular file and folder below root, and root itself. Links are not
    // followed; their folder's sync covers them. A folder its owner cannot read or enter is given
    // the owner's right to. A stop ends it between two files (false, with no error): a tree of
    // thousands of files is not worth a quit's wait when it is thrown away. unopened says whether
    // a failure was in opening a file or folder (a file its owner cannot read), not the disk's.
    static bool syncTree(const QString& root, QString* error, std::stop_token stop = {},
                         bool* unopened = nullptr);

    // Called before each entry of a removal that others must not wait behind; it may sleep.
    using Pace = std::function<void()>;

    // Removes root and everything below it without following links, giving each folder in it the
    // owner's rights first where it lacks them. A stop ends it between two entries, leaving the
    // rest; false then, as when something cannot be removed.
    static bool removeTree(const QString& root, std::stop_token stop = {}, const Pace& pace = {});

    // A bundle, as removeTree removes it, its Contents/Info.plist first: what a stop or a kill
    // leaves of it never looks like an application.
    static bool removeBundle(const QString& root, std::stop_token stop = {}, const Pace& pace = {});

    // Everything below root but its entry named kept; root and that entry stay. Stops as
    // removeTree does.
    static bool removeContents(const QString& root, const QString& kept, std::stop_token stop = {},
                               const Pace& pace = {});

    // One file or folder.
    static bool syncPath(const QString& path, QString* error);

private:
    DiskSync() = delete;
};

} // namespace norvelle
