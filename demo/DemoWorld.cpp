#include "DemoWorld.h"

#include "CaskroomBuilder.h"
#include "DemoApplications.h"
#include "DemoBundle.h"
#include "DemoPublisher.h"
#include "FixtureServer.h"
#include "TestConfig.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace norvelle::demo {

namespace {

const QString kMarker = QStringLiteral(".norvelle-demo");
const QString kToolFolder = QStringLiteral("/opt/homebrew/bin");
const QString kLoginShell = QStringLiteral("/bin/login-shell");

bool writeFile(const QString& path, const QByteArray& data, bool executable = false)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return false;
    if (executable)
        return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther);
    return true;
}

QString applicationsFolder(const QString& root, const DemoApplication& app)
{
    const QString folder = root + QStringLiteral("/Applications");
    return app.subfolder.isEmpty() ? folder : folder + u'/' + app.subfolder;
}

QJsonObject toolState(const QString& root, const Paths& paths, const DemoPublisher& publisher, double delayScale)
{
    QJsonObject casks;
    QJsonObject store;
    QJsonObject taps;
    for (const DemoApplication& app : demoApplications()) {
        if (!app.tap.isEmpty())
            taps.insert(app.tap, publisher.tapFile(app.tap));
        if (app.kind == DemoApplication::Kind::cask || app.kind == DemoApplication::Kind::adoptable ||
            app.kind == DemoApplication::Kind::tapped) {
            casks.insert(app.token,
                         QJsonObject{{QStringLiteral("app"), app.name + QStringLiteral(".app")},
                                     {QStringLiteral("installed"), app.kind == DemoApplication::Kind::cask
                                                                       ? QJsonValue(app.installedVersion)
                                                                       : QJsonValue(QJsonValue::Null)},
                                     {QStringLiteral("latest"), app.latestVersion},
                                     {QStringLiteral("sudo"), app.requiresSudo}});
        } else if (app.kind == DemoApplication::Kind::store) {
            store.insert(app.storeId, QJsonObject{{QStringLiteral("name"), app.name},
                                                  {QStringLiteral("installed"), app.installedVersion},
                                                  {QStringLiteral("latest"), app.latestVersion}});
        }
    }
    return QJsonObject{{QStringLiteral("delayScale"), delayScale},
                       {QStringLiteral("applications"), paths.applicationsFolder},
                       {QStringLiteral("caskroom"), paths.caskroomFolders.first()},
                       {QStringLiteral("catalogue"), root + QStringLiteral("/srv/api/cask.json")},
                       {QStringLiteral("casks"), casks},
                       {QStringLiteral("taps"), taps},
                       {QStringLiteral("mas"), store}};
}

QByteArray ignoreList()
{
    QJsonArray apps;
    QJsonObject versions;
    for (const DemoApplication& app : demoApplications()) {
        if (app.ignored)
            apps.append(app.bundleIdentifier);
        if (app.latestSkipped)
            versions.insert(app.bundleIdentifier, app.latestVersion);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("ignoredApps"), apps},
                                     {QStringLiteral("ignoredVersions"), versions}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

QString DemoWorld::caFile()
{
    return test::FixtureServer::testCaFile();
}

bool DemoWorld::exists() const
{
    return QFileInfo(m_root + u'/' + kMarker).isFile();
}

quint16 DemoWorld::port() const
{
    QFile marker(m_root + u'/' + kMarker);
    if (!marker.open(QIODevice::ReadOnly))
        return 0;
    const int port =
        QJsonDocument::fromJson(marker.read(4096)).object().value(QStringLiteral("port")).toInt();
    return port > 0 && port < 65536 ? quint16(port) : 0;
}

Paths DemoWorld::paths(const QUrl& base) const
{
    Paths p = Paths::underRoot(m_root);
    p.caskCatalogueUrl = base.resolved(QUrl(QStringLiteral("/api/cask.json")));
    p.iTunesLookupUrl = base.resolved(QUrl(QStringLiteral("/lookup")));
    p.caFile = caFile();
    return p;
}

QProcessEnvironment DemoWorld::environment(const QUrl& base, QProcessEnvironment environment) const
{
    const Paths p = paths(base);
    environment.insert(QStringLiteral("NORVELLE_ROOT"), m_root);
    environment.insert(QStringLiteral("NORVELLE_CASK_CATALOGUE_URL"), p.caskCatalogueUrl.toString());
    environment.insert(QStringLiteral("NORVELLE_ITUNES_LOOKUP_URL"), p.iTunesLookupUrl.toString());
    environment.insert(QStringLiteral("NORVELLE_CA_FILE"), p.caFile);
    // brew doctor runs in a login shell, which would reset PATH to the system's.
    environment.insert(QStringLiteral("SHELL"), m_root + kLoginShell);
    // libcurl honours a proxy, which would never reach the loopback server.
    environment.insert(QStringLiteral("no_proxy"), QStringLiteral("127.0.0.1,localhost"));
    environment.insert(QStringLiteral("NO_PROXY"), QStringLiteral("127.0.0.1,localhost"));
    return environment;
}

bool DemoWorld::build(const QUrl& base, const Options& options, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    QDir root(m_root);
    if (root.exists() && !exists() && !root.isEmpty())
        return fail(QStringLiteral("%1 holds other files; the demo world is built only in an empty folder")
                        .arg(m_root));
    if (root.exists() && !root.removeRecursively())
        return fail(QStringLiteral("cannot remove the old demo world in ") + m_root);

    const Paths p = paths(base);
    for (const QString& folder : {p.applicationsFolder, p.caskroomFolders.first(), p.supportFolder,
                                  p.desktopFolder, m_root + kToolFolder})
        if (!QDir().mkpath(folder))
            return fail(QStringLiteral("cannot create ") + folder);

    DemoPublisher publisher(m_root + QStringLiteral("/srv"), base);
    const test::CaskroomBuilder caskroom(p.caskroomFolders.first());
    for (const DemoApplication& app : demoApplications()) {
        QVariantMap extra;
        if (app.kind == DemoApplication::Kind::feed) {
            extra.insert(QStringLiteral("SUFeedURL"), publisher.feedUrl(app).toString());
            extra.insert(QStringLiteral("SUPublicEDKey"), publisher.publicKey());
            extra.insert(QStringLiteral("SUEnableAutomaticChecks"), true);
        }
        if (DemoBundle::write(applicationsFolder(m_root, app), app, app.installedVersion, extra).isEmpty())
            return fail(QStringLiteral("cannot write the bundle of ") + app.name);
        if (app.kind == DemoApplication::Kind::cask) {
            const QJsonObject receipt = test::CaskroomBuilder::receipt(
                {app.name + QStringLiteral(".app")},
                {QStringLiteral("~/Library/Preferences/") + app.bundleIdentifier + QStringLiteral(".plist")});
            if (caskroom.writeReceipt(app.token, receipt).isEmpty() ||
                caskroom.addVersionFolder(app.token, app.installedVersion).isEmpty())
                return fail(QStringLiteral("cannot write the Caskroom of ") + app.token);
        }
    }
    if (!publisher.publish(error))
        return false;

    // The stand-ins for brew and mas answer from the world's state.
    const QString tools = m_root + kToolFolder;
    const QByteArray script =
        QJsonDocument(QJsonObject{{QStringLiteral("responses"), QJsonArray{}},
                                  {QStringLiteral("world"), m_root + QStringLiteral("/world.json")}})
            .toJson();
    QFile fakeTool(QStringLiteral(NORVELLE_TEST_SUPPORT_DIR "/fake-tool"));
    if (!fakeTool.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read ") + fakeTool.fileName());
    const QByteArray toolBytes = fakeTool.readAll();
    const QByteArray loginShell = "#!/bin/sh\n"
                                  "# Stands in for the user's login shell: finds the demo's brew first.\n"
                                  "[ \"$1\" = -l ] && shift\n"
                                  "PATH=\"" +
                                  tools.toUtf8() + ":$PATH\" exec /bin/sh \"$@\"\n";
    if (!writeFile(tools + QStringLiteral("/brew"), toolBytes, true) ||
        !writeFile(tools + QStringLiteral("/mas"), toolBytes, true) ||
        !writeFile(tools + QStringLiteral("/fake-tool.json"), script) ||
        !writeFile(m_root + kLoginShell, loginShell, true) ||
        !writeFile(m_root + QStringLiteral("/world.json"),
                   QJsonDocument(toolState(m_root, p, publisher, options.toolDelayScale)).toJson()))
        return fail(QStringLiteral("cannot write the tools in ") + tools);

    if (!writeFile(p.supportFolder + QStringLiteral("/ignored.json"), ignoreList()))
        return fail(QStringLiteral("cannot write the ignore list"));
    {
        // The demo opens on the main window, not on the welcome tour, and may update at once.
        SettingsStore settings(p.settingsFile);
        settings.setHasCompletedWelcomeTour(true);
        settings.setHasAppManagementPermission(true);
    }

    const QJsonObject marker{{QStringLiteral("port"), base.port()}};
    if (!writeFile(m_root + u'/' + kMarker, QJsonDocument(marker).toJson(QJsonDocument::Compact)))
        return fail(QStringLiteral("cannot write ") + m_root + u'/' + kMarker);
    return true;
}

} // namespace norvelle::demo
