#pragma once

#include <QList>
#include <QString>

namespace norvelle::demo {

// One application of the demo world, and where its updates come from.
struct DemoApplication {
    enum class Kind {
        cask,      // installed from a Homebrew cask
        adoptable, // installed by hand; the catalogue has a cask for it
        tapped,    // installed by hand; its cask comes from a tap the catalogue does not list, so
                   // only a manual cask entry (cask and tap) finds it
        store,     // from the App Store
        feed,      // updates itself from a Sparkle appcast
        plain,     // no update source
    };

    Kind kind = Kind::plain;
    QString name; // the bundle's name without ".app"
    QString bundleIdentifier;
    QString installedVersion;
    QString latestVersion; // what its source offers; equal to the installed one when up to date
    QString description;
    QString token;     // the cask
    QString tap;       // the tap of a tapped cask
    QString storeId;   // the App Store's numeric identifier
    QString subfolder; // a folder inside the applications folder, or empty
    bool requiresSudo = false;
    bool ignored = false;       // in the ignore list
    bool latestSkipped = false; // the offered version is the skipped one
    bool binaryInfoPlist = false;

    bool isOutdated() const { return latestVersion != installedVersion; }
    // Outdated, and neither ignored nor skipped: an update the check should show.
    bool showsUpdate() const
    {
        return isOutdated() && !ignored && !latestSkipped && kind != Kind::adoptable && kind != Kind::tapped;
    }
    // A file-name-safe form of the name ("Tidewave Terminal" -> "tidewave-terminal").
    QString slug() const;
};

// The applications of the demo world, in a fixed order.
const QList<DemoApplication>& demoApplications();

// How many applications of this kind show an update after a full check.
int demoUpdateCount(DemoApplication::Kind kind);

} // namespace norvelle::demo
