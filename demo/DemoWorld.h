#pragma once

#include "platform/Paths.h"

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

namespace norvelle::demo {

// A small Mac on disk for showing and testing the whole application: about thirty application
// bundles, a Homebrew Caskroom, stateful stand-ins for `brew` and `mas`, an ignore list and a
// settings file, all under one root folder. What the loopback server publishes (the cask
// catalogue, store lookups, appcasts, release notes, signed update archives) is written to
// <root>/srv with `base` (the server's https address) baked into every link.
//
//     <root>/Applications, <root>/opt/homebrew/{bin,Caskroom}, <root>/home, <root>/srv,
//     <root>/world.json (the tools' state), <root>/.norvelle-demo (marker and server port)
class DemoWorld {
public:
    struct Options {
        double toolDelayScale = 1.0; // the tools' pauses, shortened by tests
    };

    explicit DemoWorld(QString root) : m_root(std::move(root)) {}

    const QString& root() const { return m_root; }

    // Whether a world has been built here (the marker file exists).
    bool exists() const;
    // The server port the world was built for; 0 when unknown.
    quint16 port() const;
    // The lock a launcher holds while it serves the world: beside the root, which a rebuild
    // replaces whole.
    QString launcherLockPath() const { return m_root + QStringLiteral(".launcher-lock"); }

    // Replaces whatever world is at the root by a fresh one served at `base`. Refuses (false,
    // with the reason) to delete a non-empty folder that holds no world: the root may be mistyped.
    bool build(const QUrl& base, const Options& options, QString* error);

    // The locations the application must use, with the server's CA trusted.
    Paths paths(const QUrl& base) const;
    // The NORVELLE_* variables (and the login shell for brew doctor) that give the application
    // paths(base), added to `environment`.
    QProcessEnvironment environment(const QUrl& base, QProcessEnvironment environment) const;

    // The CA that signed the loopback server's certificate.
    static QString caFile();

private:
    QString m_root;
};

} // namespace norvelle::demo
