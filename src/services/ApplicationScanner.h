#pragma once

#include <QString>
#include <QStringList>

namespace norvelle {

// Finds the application bundles in the applications folder and in its subfolders one level
// below. An entry is a bundle when its extension is exactly "app" (case-sensitive), whatever
// its type; hidden entries count. A directory named "*.app" is never searched inside, and
// symbolic links are not followed into folders. Entries keep the order the file system lists
// them in.
class ApplicationScanner {
public:
    struct Result {
        QStringList bundlePaths;
        // One line per subfolder that could not be listed: "<path>: <reason>".
        QStringList unreadableFolders;
    };

    // Throws norvelle::Error when the folder itself cannot be listed (NorvelleError
    // directoryNotFound when it does not exist). A subfolder that cannot be listed is
    // reported in the result and skipped.
    static Result scan(const QString& folder);

    static bool isBundleName(const QString& name);

private:
    ApplicationScanner() = delete;
};

} // namespace norvelle
