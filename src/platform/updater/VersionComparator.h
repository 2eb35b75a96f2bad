#pragma once

#include <QString>

namespace norvelle {

// The ordering appcast updaters use for versions. A version is split into runs of
// digits, runs of other text and single separators (".", "-", spaces, punctuation).
// Runs are compared in turn: numbers by value, text by its characters, and all
// separators alike. Where the kinds differ, text sorts below a number or separator,
// so a pre-release suffix sorts below the release it leads to (1.0b1 < 1.0), and a
// number sorts above a separator. When one version runs out, the longer one is newer
// unless what follows is text (1.0 < 1.0.1, but 1.0b < 1.0 and 1.0-beta < 1.0).
// Before that, missing trailing components of the leading numbers count as zero
// (2.1 = 2.1.0, 3.3 (5847) = 3.3.0 (5847), 1.0pre1 = 1.0.0pre1), and a commit hash
// after a dash is left out (1.5.5-335d3e2 = 1.5.5-a655360 = 1.5.5).
class VersionComparator {
public:
    // Negative when a is older than b, zero when they rank alike, positive when newer.
    static int compare(const QString& a, const QString& b);

    static bool isNewer(const QString& candidate, const QString& installed)
    {
        return compare(candidate, installed) > 0;
    }

private:
    VersionComparator() = delete;
};

} // namespace norvelle
