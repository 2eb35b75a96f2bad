#pragma once

#include <QHash>
#include <QString>

namespace norvelle {

// A source of facts that a discovery could not read (the catalogue download, `brew`'s or
// `mas`'s listing), or that an update check of an application could not read (its feed): the
// applications are listed without what it would have told, or with what it told before.
struct SourceFailure {
    QString source;      // the source as the user knows it: one of the names below
    QString description; // why: the error's description

    static QString homebrew() { return QStringLiteral("Homebrew"); }
    // `brew` answered, only the catalogue of casks could not be read.
    static QString homebrewCatalogue() { return QStringLiteral("The Homebrew catalogue"); }
    static QString appStore() { return QStringLiteral("App Store"); }
    // A check could not read an application's appcast feed.
    static QString updateFeed() { return QStringLiteral("The update feed"); }

    bool operator==(const SourceFailure&) const = default;
};

// Per bundle identifier, the source a check could not read for an application.
using CheckFailures = QHash<QString, SourceFailure>;

} // namespace norvelle
