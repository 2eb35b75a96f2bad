#include "DemoPublisher.h"

#include "DemoBundle.h"
#include "UpdaterArchiveBuilder.h"
#include "UpdaterFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSaveFile>

namespace norvelle::demo {

namespace {

bool save(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    if (QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
        file.write(data) == data.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("cannot write ") + path;
    return false;
}

QString homepage(const DemoApplication& app)
{
    return QStringLiteral("https://www.") + app.slug() + QStringLiteral(".example/");
}

QJsonObject caskObject(const DemoApplication& app)
{
    QJsonObject cask{
        {QStringLiteral("token"), app.token},
        {QStringLiteral("full_token"), app.tap.isEmpty() ? app.token : app.tap + u'/' + app.token},
        {QStringLiteral("tap"), app.tap.isEmpty() ? QStringLiteral("homebrew/cask") : app.tap},
        {QStringLiteral("name"), QJsonArray{app.name}},
        {QStringLiteral("desc"), app.description},
        {QStringLiteral("homepage"), homepage(app)},
        {QStringLiteral("url"),
         QStringLiteral("https://downloads.example.com/%1/%2.zip").arg(app.token, app.latestVersion)},
        {QStringLiteral("version"), app.latestVersion},
        {QStringLiteral("auto_updates"), QJsonValue::Null},
        {QStringLiteral("deprecated"), false},
        {QStringLiteral("disabled"), false},
        {QStringLiteral("artifacts"),
         QJsonArray{QJsonObject{{QStringLiteral("app"), QJsonArray{app.name + QStringLiteral(".app")}}},
                    QJsonObject{{QStringLiteral("zap"),
                                 QJsonArray{QJsonObject{
                                     {QStringLiteral("trash"),
                                      QJsonArray{QStringLiteral("~/Library/Preferences/") +
                                                 app.bundleIdentifier + QStringLiteral(".plist")}}}}}}}},
        {QStringLiteral("caveats"), QJsonValue::Null},
    };
    if (app.requiresSudo)
        cask.insert(QStringLiteral("caveats"),
                    app.name + QStringLiteral(" installs a system extension; the installer asks for an "
                                              "administrator password."));
    return cask;
}

QByteArray lookup(const DemoApplication& app)
{
    const QJsonObject result{
        {QStringLiteral("trackId"), app.storeId.toLongLong()},
        {QStringLiteral("bundleId"), app.bundleIdentifier},
        {QStringLiteral("trackName"), app.name},
        {QStringLiteral("sellerName"), app.name + QStringLiteral(" Ltd")},
        {QStringLiteral("description"), app.description},
        {QStringLiteral("version"), app.latestVersion},
        {QStringLiteral("releaseNotes"),
         QStringLiteral("What's new in %1 %2:\n\n• A redesigned sidebar\n• Faster start-up\n"
                        "• Fixes a crash when importing large files")
             .arg(app.name, app.latestVersion)},
        {QStringLiteral("currentVersionReleaseDate"), QStringLiteral("2026-11-24T08:00:00Z")},
        {QStringLiteral("fileSizeBytes"), QString::number(20971520 + app.storeId.right(6).toLongLong() * 37)},
        {QStringLiteral("trackViewUrl"), QStringLiteral("https://apps.example.com/app/id") + app.storeId},
    };
    return QJsonDocument(QJsonObject{{QStringLiteral("resultCount"), 1},
                                     {QStringLiteral("results"), QJsonArray{result}}})
        .toJson(QJsonDocument::Compact);
}

QByteArray releaseNotes(const DemoApplication& app)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1 %2</title></head>"
                          "<body><h2>What's new in %1 %2</h2>"
                          "<p>This release makes <b>%1</b> faster and fixes the problems you told us "
                          "about.</p><h3>New</h3><ul><li>A search field in every list</li>"
                          "<li>Dark mode follows the system</li></ul><h3>Fixed</h3><ul>"
                          "<li>Crash when a folder was renamed during a sync</li>"
                          "<li>Window position is restored on the right screen</li></ul>"
                          "<p>See the <a href=\"%3\">full history</a>.</p></body></html>\n")
        .arg(app.name.toHtmlEscaped(), app.latestVersion.toHtmlEscaped(), homepage(app))
        .toUtf8();
}

} // namespace

DemoPublisher::DemoPublisher(QString folder, QUrl base) : m_folder(std::move(folder)), m_base(std::move(base))
{
}

QUrl DemoPublisher::url(const QString& path) const
{
    return m_base.resolved(QUrl(u'/' + path));
}

QUrl DemoPublisher::feedUrl(const DemoApplication& app) const
{
    return url(QStringLiteral("appcasts/") + app.slug() + QStringLiteral(".xml"));
}

QByteArray DemoPublisher::catalogue() const
{
    QJsonArray casks;
    for (const DemoApplication& app : demoApplications())
        if (!app.token.isEmpty() && app.tap.isEmpty())
            casks.append(caskObject(app));
    return QJsonDocument(casks).toJson(QJsonDocument::Compact);
}

QString DemoPublisher::tapFile(const QString& tap) const
{
    return file(QStringLiteral("taps/") + tap + QStringLiteral(".json"));
}

bool DemoPublisher::publishTaps(QString* error) const
{
    QMap<QString, QJsonArray> taps;
    for (const DemoApplication& app : demoApplications())
        if (!app.tap.isEmpty())
            taps[app.tap].append(caskObject(app));
    for (auto it = taps.cbegin(); it != taps.cend(); ++it)
        if (!save(tapFile(it.key()), QJsonDocument(it.value()).toJson(QJsonDocument::Compact), error))
            return false;
    return true;
}

bool DemoPublisher::publishFeed(const DemoApplication& app, QString* error) const
{
    // The new version's bundle, archived and signed the way its publisher would.
    const QString stage = file(QStringLiteral("build/") + app.slug());
    QDir(stage).removeRecursively();
    const QVariantMap extra{{QStringLiteral("SUFeedURL"), feedUrl(app).toString()},
                            {QStringLiteral("SUPublicEDKey"), publicKey()},
                            {QStringLiteral("SUEnableAutomaticChecks"), true}};
    const QString bundle = DemoBundle::write(stage, app, app.latestVersion, extra);
    const QString archivePath = QStringLiteral("downloads/%1-%2.zip").arg(app.slug(), app.latestVersion);
    test::UpdaterArchiveBuilder archive;
    archive.addTree(bundle, app.name + QStringLiteral(".app"));
    if (bundle.isEmpty() || !QDir().mkpath(file(QStringLiteral("downloads"))) ||
        !archive.write(file(archivePath), test::UpdaterArchiveBuilder::Format::zip)) {
        if (error)
            *error = QStringLiteral("cannot archive the update of ") + app.name;
        return false;
    }
    QDir(stage).removeRecursively();

    const QString notesPath = QStringLiteral("notes/%1-%2.html").arg(app.slug(), app.latestVersion);
    test::UpdaterFixture::FeedItem item;
    item.version = app.latestVersion;
    item.url = url(archivePath).toString();
    item.signature = m_key.signFile(file(archivePath));
    item.length = QFileInfo(file(archivePath)).size();
    item.extra = QStringLiteral("<pubDate>Tue, 24 Nov 2026 09:00:00 +0000</pubDate>\n"
                                "<sparkle:releaseNotesLink>%1</sparkle:releaseNotesLink>\n")
                     .arg(url(notesPath).toString().toHtmlEscaped());
    return save(file(notesPath), releaseNotes(app), error) &&
           save(file(QStringLiteral("appcasts/") + app.slug() + QStringLiteral(".xml")),
                test::UpdaterFixture::appcast({item}), error);
}

bool DemoPublisher::publish(QString* error) const
{
    if (!save(file(QStringLiteral("api/cask.json")), catalogue(), error) || !publishTaps(error))
        return false;
    for (const DemoApplication& app : demoApplications()) {
        if (app.kind == DemoApplication::Kind::store &&
            !save(file(QStringLiteral("lookup/") + app.bundleIdentifier + QStringLiteral(".json")),
                  lookup(app), error))
            return false;
        if (app.kind == DemoApplication::Kind::feed && !publishFeed(app, error))
            return false;
    }
    QDir(file(QStringLiteral("build"))).removeRecursively();
    return true;
}

} // namespace norvelle::demo
