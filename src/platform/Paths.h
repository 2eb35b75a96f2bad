#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace norvelle {

// Every fixed location the system reads or writes, and the hosts it asks. The defaults are
// the real places on a Mac; tests and the demo world point them somewhere else. Nothing here
// reads the environment by itself: only the composition root calls fromEnvironment().
struct Paths {
    QString applicationsFolder;  // "/Applications"
    QStringList brewCandidates;  // tried in order
    QStringList masCandidates;   // tried in order
    QStringList caskroomFolders; // searched in order for install receipts
    QString homeFolder;
    QString desktopFolder; // where Desktop log files go; empty when unknown
    QString supportFolder; // "<home>/Library/Application Support/Norvelle" on a Mac
    QUrl caskCatalogueUrl; // the cask catalogue's JSON document
    QUrl iTunesLookupUrl;  // the lookup endpoint; the query is appended by its user
    QString settingsFile;  // the preferences' INI file; empty: the application's own settings
    QString caFile;        // an extra trusted CA for every https request; empty for none

    // The real locations of this machine's user.
    static Paths defaults();

    // Every folder mirrored under `root` (root + "/Applications", root + "/opt/homebrew/bin/brew",
    // …; the home folder is root + "/home", the settings file lies inside it), with the default
    // service URLs.
    static Paths underRoot(const QString& root);

    // The defaults with overrides from NORVELLE_* variables (see the .cpp for the names).
    // Lists are separated by ':'. An unusable URL is ignored and reported in `problems`.
    static Paths
    fromEnvironment(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                    QStringList* problems = nullptr);

    // The brew executable: the first candidate at which a file-system object exists, tested
    // afresh on each call, else the last candidate without a further test.
    QString brewExecutable() const;
    // Whether a file-system object exists at any brew candidate.
    bool hasBrew() const;
    // The mas executable: the first candidate at which a file-system object exists, else none.
    std::optional<QString> masExecutable() const;
    // The first of the candidates at which a file-system object exists, else none.
    static std::optional<QString> firstExisting(const QStringList& candidates);

    bool operator==(const Paths&) const = default;
};

} // namespace norvelle
