#include "SyntheticWorld.h"

#include "BundleBuilder.h"
#include "CaskroomBuilder.h"
#include "UpdaterFixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrlQuery>

namespace norvelle::test {

namespace {

QString withoutAppSuffix(QString name)
{
    if (name.endsWith(QLatin1String(".app")))
        name.chop(4);
    return name;
}

// The lookup answer for one store application: a newer version with notes and a size.
FixtureServer::Reply lookupReply(const FixtureServer::Request& request, std::chrono::milliseconds latency)
{
    const QString bundleId =
        request.queryItems().queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded);
    const QString number = bundleId.section(QLatin1Char('.'), -1).remove(QStringLiteral("store"));
    const QJsonObject result{
        {QStringLiteral("trackId"), 100000 + number.toInt()},
        {QStringLiteral("bundleId"), bundleId},
        {QStringLiteral("trackName"), QStringLiteral("Store App ") + number},
        {QStringLiteral("version"), QStringLiteral("1.1")},
        {QStringLiteral("releaseNotes"), QStringLiteral("Bug fixes and improvements.")},
        {QStringLiteral("currentVersionReleaseDate"), QStringLiteral("2025-02-01T10:00:00Z")},
        {QStringLiteral("fileSizeBytes"), QStringLiteral("52428800")},
    };
    const QJsonObject root{{QStringLiteral("resultCount"), 1},
                           {QStringLiteral("results"), QJsonArray{result}}};
    return FixtureServer::Reply{.body = QJsonDocument(root).toJson(QJsonDocument::Compact), .delay = latency};
}

// A publisher's notes page of a few kilobytes.
QByteArray releaseNotes(int n)
{
    QByteArray page = "<html><body><h2>Feed App " + QByteArray::number(n) + " 2.0</h2><ul>";
    for (int i = 1; i <= 12; ++i)
        page += "<li>Fixed an issue where item " + QByteArray::number(i) +
                " could be shown twice after a sync with an older version of the app.</li>";
    return page + "</ul></body></html>";
}

} // namespace

SyntheticWorld::SyntheticWorld(Options options) : m_options(options)
{
    if (options.publicPort != 0) {
        m_feedServer = std::make_shared<FixtureServer>(FixtureServer::Tls::on, 0, options.serverThreads);
        m_server = m_feedServer;
        m_valid = m_feedServer->isListening();
    } else {
        m_server = std::make_shared<FixtureServer>(options.tlsEverywhere ? FixtureServer::Tls::on
                                                                         : FixtureServer::Tls::off);
        m_feedServer = std::make_shared<FixtureServer>(FixtureServer::Tls::on);
    }
    m_server->setKeepAlive(options.keepAlive);
    m_feedServer->setKeepAlive(options.keepAlive);
    m_valid = m_valid && m_root.isValid() && m_tool.isValid();
    if (m_valid)
        build(options);
}

void SyntheticWorld::addBundle(const QString& folder, const QString& name, const QString& identifier,
                               const QString& version, const QVariantMap& extra, bool binary)
{
    BundleBuilder builder(folder, name);
    builder.bundleIdentifier(identifier).shortVersion(version).version(version).binary(binary);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        builder.set(it.key(), it.value());
    if (builder.build().isEmpty())
        m_valid = false;
    ++m_counts.bundles;
}

QUrl SyntheticWorld::address(const FixtureServer& server, const QString& host, const QString& path) const
{
    if (m_options.publicPort == 0)
        return server.url(path);
    return QUrl(QStringLiteral("https://%1.%2:%3%4")
                    .arg(host, m_options.hostDomain)
                    .arg(m_options.publicPort)
                    .arg(path),
                QUrl::StrictMode);
}

void SyntheticWorld::build(const Options& options)
{
    m_paths = m_root.paths();
    m_paths.brewCandidates = {m_tool.brewPath()};
    m_paths.masCandidates = {m_tool.masPath()};
    m_paths.caskCatalogueUrl =
        address(*m_server, QStringLiteral("formulae"), QStringLiteral("/api/cask.json"));
    m_paths.iTunesLookupUrl = address(*m_server, QStringLiteral("itunes"), QStringLiteral("/lookup"));
    const QString applications = m_paths.applicationsFolder;
    QDir().mkpath(applications);
    const QString subfolder = applications + QStringLiteral("/Utilities");
    QDir().mkpath(subfolder);

    const SyntheticCatalogue catalogue(options.catalogueCasks, options.seed);
    const QByteArray catalogueJson = catalogue.json();
    m_counts.catalogueBytes = catalogueJson.size();
    // A real host streams a large answer as it encrypts it rather than after.
    const qsizetype streamed = options.publicPort != 0 ? qsizetype(256) << 10 : 0;
    m_server->route(
        QStringLiteral("/api/cask.json"),
        FixtureServer::Reply{.body = catalogueJson, .delay = options.latency, .chunkSize = streamed});
    m_server->route(QStringLiteral("/lookup"),
                    [latency = options.latency](const FixtureServer::Request& request) {
                        return lookupReply(request, latency);
                    });

    // Casks with an application of their own, one per application name.
    QList<SyntheticCatalogue::Entry> casks;
    QSet<QString> names;
    for (const SyntheticCatalogue::Entry& entry : catalogue.entries()) {
        if (entry.appArtifacts.size() != 1 || entry.deprecated || entry.disabled ||
            entry.token.contains(u'@'))
            continue;
        if (!names.contains(entry.appArtifacts.first())) {
            names.insert(entry.appArtifacts.first());
            casks.append(entry);
        }
    }

    const int total = options.bundleCount;
    const int homebrew = total / 3;
    const int appStore = total / 10;
    const int feeds = total / 4;
    const CaskroomBuilder caskroom(m_paths.caskroomFolders.first());
    QByteArray installedList;
    QJsonArray outdated;
    QByteArray masList;
    QByteArray masOutdated;
    qsizetype nextCask = 0;

    for (int i = 0; i < total; ++i) {
        const QString folder = i % 10 == 9 ? subfolder : applications;
        const bool binary = i % 2 == 1;
        if (i < homebrew && nextCask < casks.size()) {
            const SyntheticCatalogue::Entry& cask = casks.at(nextCask++);
            const QString name = withoutAppSuffix(cask.appArtifacts.first());
            const QString identifier = QStringLiteral("com.synthetic.") + cask.token;
            // Receipts name bundles in the applications folder itself.
            addBundle(applications, name, identifier, QStringLiteral("1.0"), {}, binary);
            caskroom.writeReceipt(
                cask.token,
                CaskroomBuilder::receipt({cask.appArtifacts.first()},
                                         {QStringLiteral("~/Library/Preferences/") + identifier + ".plist"}));
            caskroom.addVersionFolder(cask.token, QStringLiteral("1.0"));
            installedList += cask.token.toUtf8() + '\n';
            ++m_counts.homebrew;
            if (m_counts.homebrew % 3 == 0) {
                outdated.append(
                    QJsonObject{{QStringLiteral("name"), cask.token},
                                {QStringLiteral("installed_versions"), QJsonArray{QStringLiteral("1.0")}},
                                {QStringLiteral("current_version"), QStringLiteral("2.0")}});
                ++m_counts.homebrewOutdated;
            }
        } else if (i < homebrew + appStore) {
            const int n = ++m_counts.appStore;
            const QString name = QStringLiteral("Store App %1").arg(n);
            // `mas` names bundles in the applications folder itself.
            addBundle(applications, name, QStringLiteral("com.synthetic.store%1").arg(n),
                      QStringLiteral("1.0"), {}, binary);
            masList += QStringLiteral("%1 %2 (1.0)\n").arg(100000 + n).arg(name).toUtf8();
            if (n % 2 == 0) {
                masOutdated += QStringLiteral("%1 %2 (1.0 -> 1.1)\n").arg(100000 + n).arg(name).toUtf8();
                ++m_counts.appStoreOutdated;
                QUrl lookup = m_paths.iTunesLookupUrl;
                lookup.setQuery(QStringLiteral("bundleId=com.synthetic.store%1").arg(n));
                m_checkRequests.append({lookup, {}});
            }
        } else if (i < homebrew + appStore + feeds) {
            const int n = ++m_counts.feeds;
            const QString path = QStringLiteral("/appcast/%1.xml").arg(n);
            const QString host = QStringLiteral("feed-%1").arg(n);
            UpdaterFixture::FeedItem item;
            item.version = QStringLiteral("2.0");
            item.url = address(*m_feedServer, host, QStringLiteral("/downloads/%1.zip").arg(n)).toString();
            item.length = 1000;
            const QUrl feed = address(*m_feedServer, host, path);
            QUrl notes;
            if (options.publicPort != 0 && !options.feedsDown) {
                const QString notesPath = QStringLiteral("/notes/%1.html").arg(n);
                notes = address(*m_feedServer, host, notesPath);
                item.extra = QStringLiteral("<sparkle:releaseNotesLink>%1</sparkle:releaseNotesLink>")
                                 .arg(notes.toString());
                m_feedServer->route(notesPath,
                                    FixtureServer::Reply{.body = releaseNotes(n), .delay = options.latency});
            }
            m_feedServer->route(path, options.feedsDown
                                          ? FixtureServer::Reply{.status = 503,
                                                                 .body = "Service Unavailable",
                                                                 .delay = options.latency}
                                          : FixtureServer::Reply{.body = UpdaterFixture::appcast({item}),
                                                                 .delay = options.latency});
            m_checkRequests.append({feed, notes});
            addBundle(folder, QStringLiteral("Feed App %1").arg(n),
                      QStringLiteral("com.synthetic.feed%1").arg(n), QStringLiteral("1.0"),
                      {{QStringLiteral("SUFeedURL"), feed.toString()},
                       {QStringLiteral("SUEnableAutomaticChecks"), false}},
                      binary);
        } else if (i % 2 == 0 && nextCask < casks.size()) {
            // Named like a catalogue cask that is not installed: an adoption candidate.
            const SyntheticCatalogue::Entry& cask = casks.at(nextCask++);
            addBundle(folder, withoutAppSuffix(cask.appArtifacts.first()),
                      QStringLiteral("com.synthetic.manual.") + cask.token, QStringLiteral("0.9"), {},
                      binary);
            ++m_counts.adoptionCandidates;
        } else {
            addBundle(folder, QStringLiteral("Plain App %1").arg(i),
                      QStringLiteral("com.synthetic.plain%1").arg(i), QStringLiteral("3.%1").arg(i), {},
                      binary);
        }
    }

    using Response = FakeTool::Response;
    m_tool.respond(QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
                   Response().withStandardOutput(installedList));
    m_tool.respond(
        QStringLiteral("brew"),
        {QStringLiteral("outdated"), QStringLiteral("--cask"), QStringLiteral("--greedy"),
         QStringLiteral("--json=v2")},
        Response().withStandardOutput(QJsonDocument(QJsonObject{{QStringLiteral("formulae"), QJsonArray{}},
                                                                {QStringLiteral("casks"), outdated}})
                                          .toJson(QJsonDocument::Compact)));
    m_tool.respond(QStringLiteral("mas"), {QStringLiteral("list")}, Response().withStandardOutput(masList));
    m_tool.respond(QStringLiteral("mas"), {QStringLiteral("outdated")},
                   Response().withStandardOutput(masOutdated));
}

} // namespace norvelle::test
