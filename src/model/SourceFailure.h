#pragma once

#include <QString>

namespace norvelle {

// A source of facts that a discovery could not read (the catalogue download, `brew`'s or
// `mas`'s listing), or that an update check of an application could not read (its feed): the
// applications are listed without what it would have told, or with what it told before.
struct SourceFailure {
    QString source;      // the source as the user knows it: "Homebrew", "App Store"
    QString description; // why: the error's description

    bool operator==(const SourceFailure&) const = default;
};

// The source a check names when an application's appcast feed could not be read.
inline QString updateFeedSource()
{
    return QStringLiteral("The update feed");
}

} // namespace norvelle
