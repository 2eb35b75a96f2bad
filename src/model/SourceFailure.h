#pragma once

#include <QString>

namespace norvelle {

// A source of facts that a discovery could not read (the catalogue download, `brew`'s or
// `mas`'s listing): the applications are listed without what it would have told, or with what
// it told before.
struct SourceFailure {
    QString source;      // the source as the user knows it: "Homebrew", "App Store"
    QString description; // why: the error's description

    bool operator==(const SourceFailure&) const = default;
};

} // namespace norvelle
