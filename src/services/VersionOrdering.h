#pragma once

#include "model/Update.h"

#include <QString>
#include <QStringView>
#include <compare>
#include <optional>

namespace norvelle {

// How two offered versions of one application are ordered, and which source wins a tie.
//
// A version is plain ("2.1") or carries a build after the first comma that ends a non-empty
// piece ("2.1,2105"). Versions, then builds, compare as text with numeric runs (numericCompare:
// digit runs by value, case significant). A version with a build is newer than the same version
// without one. The exact lower-case "latest" is newer than anything else. Where everything is
// equal, Homebrew's offer is preferred to Sparkle's; every other pair of sources stays equal.
//
// Orderings read as "A compared with B": less means A is older than B.
class VersionOrdering {
public:
    struct VersionAndBuild {
        QString version;
        std::optional<QString> build;
        bool operator==(const VersionAndBuild&) const = default;
    };

    static std::weak_ordering compareVersions(const QString& a, const QString& b, Update::Source sourceA,
                                              Update::Source sourceB);

    // "6.2,1234" -> 6.2 and 1234; ",5,6" -> 5 and 6; "1.0,2,3" -> 1.0 and 2,3. One piece or none
    // gives the whole text, commas included, as the version and no build.
    static VersionAndBuild splitVersionAndBuild(const QString& text);

    // Greater (A preferred) for Homebrew against Sparkle, less for the reverse, else equivalent.
    static std::weak_ordering compareSourcePriority(Update::Source a, Update::Source b);

    // The rank used when an App Store offer is among several: lower is preferred.
    static int sourceRank(Update::Source source);

private:
    VersionOrdering() = delete;
};

} // namespace norvelle
