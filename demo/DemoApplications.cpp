#include "DemoApplications.h"

#include <algorithm>

namespace norvelle::demo {

namespace {

using Kind = DemoApplication::Kind;

DemoApplication listed(Kind kind, QString name, QString bundleId, QString installed, QString latest,
                       QString description)
{
    DemoApplication app;
    app.kind = kind;
    app.name = std::move(name);
    app.bundleIdentifier = std::move(bundleId);
    app.installedVersion = std::move(installed);
    app.latestVersion = std::move(latest);
    app.description = std::move(description);
    return app;
}

DemoApplication cask(QString name, QString token, QString installed, QString latest, QString description)
{
    DemoApplication app = listed(Kind::cask, std::move(name), QStringLiteral("com.demo.") + token,
                                 std::move(installed), std::move(latest), std::move(description));
    app.token = std::move(token);
    return app;
}

DemoApplication store(QString name, QString id, QString bundleId, QString installed, QString latest,
                      QString description)
{
    DemoApplication app = listed(Kind::store, std::move(name), std::move(bundleId), std::move(installed),
                                 std::move(latest), std::move(description));
    app.storeId = std::move(id);
    return app;
}

DemoApplication feed(QString name, QString bundleId, QString installed, QString latest, QString description)
{
    return listed(Kind::feed, std::move(name), std::move(bundleId), std::move(installed), std::move(latest),
                  std::move(description));
}

DemoApplication plain(QString name, QString bundleId, QString version, QString subfolder = {})
{
    DemoApplication app;
    app.name = std::move(name);
    app.bundleIdentifier = std::move(bundleId);
    app.installedVersion = version;
    app.latestVersion = std::move(version);
    app.subfolder = std::move(subfolder);
    return app;
}

template <typename F> DemoApplication with(DemoApplication app, F change)
{
    change(app);
    return app;
}

QList<DemoApplication> build()
{
    return {
        // Homebrew casks: five outdated, one of them needing a password, four up to date.
        cask("Lumen Browser", "lumen-browser", "118.0.2", "119.0.1", "Privacy-minded web browser"),
        cask("Quillpad", "quillpad", "3.4.1", "3.5.0", "Distraction-free Markdown editor"),
        with(cask("Tidewave Terminal", "tidewave-terminal", "0.9.12", "0.10.0", "GPU-accelerated terminal"),
             [](DemoApplication& a) { a.binaryInfoPlist = true; }),
        cask("Driftnote", "driftnote", "4.0.0", "4.1.2", "Notes that sync across devices"),
        cask("Cobalt Code", "cobalt-code", "1.84.2", "1.85.0", "Code editor with extensions"),
        with(cask("Harbor VPN", "harbor-vpn", "5.2.0", "5.3.1", "VPN client with a system extension"),
             [](DemoApplication& a) { a.requiresSudo = true; }),
        cask("Pixelforge", "pixelforge", "2.1.0", "2.1.0", "Raster image editor"),
        cask("Kestrel Mail", "kestrel-mail", "1.8.3", "1.8.3", "Fast keyboard-driven mail client"),
        with(cask("Orbit Player", "orbit-player", "3.0.20", "3.0.20", "Plays almost any video file"),
             [](DemoApplication& a) { a.binaryInfoPlist = true; }),
        cask("Stride Tasks", "stride-tasks", "2024.11", "2024.11", "Task manager for teams"),
        // Installed by hand, but Homebrew has a cask for it.
        with(cask("Marble Maps", "marble-maps", "2.3.0", "2.4.0", "Offline maps and route planner"),
             [](DemoApplication& a) {
                 a.kind = Kind::adoptable;
                 a.bundleIdentifier = QStringLiteral("org.marblemaps.desktop");
             }),
        // Installed by hand; its cask comes from a tap of its own, which manual cask entry names.
        with(cask("Word Counter", "word-counter", "1.1", "1.2", "Counts words, lines and characters"),
             [](DemoApplication& a) {
                 a.kind = Kind::tapped;
                 a.bundleIdentifier = QStringLiteral("com.demo.wordcounter");
                 a.tap = QStringLiteral("norvelle-demo/extras");
             }),
        // App Store: three outdated, one outdated but ignored, two up to date.
        store("Ledgerly", "1451685025", "com.ledgerly.mac", "2.6", "2.7", "Personal finance and budgets"),
        store("Pagecraft", "409201541", "com.pagecraft.desktop", "13.1", "14.0", "Page layout and documents"),
        with(store("Snapgrid", "1435957248", "io.snapgrid.app", "1.4.2", "1.5.0", "Window tiling"),
             [](DemoApplication& a) { a.binaryInfoPlist = true; }),
        store("Moodboard Pro", "1289583905", "com.moodboard.pro", "5.0.1", "5.0.1", "Collect visual ideas"),
        store("Tally Timer", "1147396723", "com.tallytimer.mac", "2.2", "2.2",
              "Time tracking in the menu bar"),
        with(store("Velvet Notes", "1176895641", "com.velvetnotes.mac", "1.0.9", "1.1.0", "Sticky notes"),
             [](DemoApplication& a) { a.ignored = true; }),
        // Sparkle feeds: four outdated, one whose offered version is skipped, one up to date.
        feed("Shelfie", "com.shelfie.app", "2.4.1", "2.5.0", "Organise your e-book library"),
        feed("Waypoint", "net.waypoint.mac", "1.12", "1.13", "GPX track viewer"),
        with(feed("Inkwell", "com.inkwell.editor", "0.18.0", "0.19.0", "Vector drawing"),
             [](DemoApplication& a) { a.binaryInfoPlist = true; }),
        feed("Beacon Monitor", "com.beacon.monitor", "1.0.4", "1.1.0", "Network and uptime monitor"),
        with(feed("Fennec Sync", "org.fennecsync.mac", "7.1.0", "7.2.0", "Folder synchronisation"),
             [](DemoApplication& a) { a.latestSkipped = true; }),
        feed("Clipstack", "com.clipstack.app", "3.2.0", "3.2.0", "Clipboard history"),
        // No update source.
        plain("Calculator Plus", "com.demo.calculatorplus", "4.2"),
        plain("Notebook Classic", "com.demo.notebook", "1.0.3"),
        plain("Font Shelf", "com.demo.fontshelf", "2.0", QStringLiteral("Utilities")),
        plain("Color Meter", "com.demo.colormeter", "5.1", QStringLiteral("Utilities")),
        plain("Sketchbook Lite", "com.demo.sketchbook", "8.0.1"),
        plain("Archive Expander", "com.demo.archiveexpander", "3.0.2", QStringLiteral("Utilities")),
    };
}

} // namespace

QString DemoApplication::slug() const
{
    return name.toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

const QList<DemoApplication>& demoApplications()
{
    static const QList<DemoApplication> applications = build();
    return applications;
}

int demoUpdateCount(DemoApplication::Kind kind)
{
    const QList<DemoApplication>& all = demoApplications();
    return int(std::count_if(all.cbegin(), all.cend(), [kind](const DemoApplication& app) {
        return app.kind == kind && app.showsUpdate();
    }));
}

} // namespace norvelle::demo
