#include "FileSizeLimit.h"
#include "FixtureServer.h"
#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "UpdaterRecordingDriver.h"
#include "UpdaterSigningKey.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/InstallStaging.h"
#include "platform/updater/UpdaterFactory.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Reply = FixtureServer::Reply;
using FeedItem = UpdaterFixture::FeedItem;
using Format = UpdaterArchiveBuilder::Format;

Q_DECLARE_METATYPE(UpdaterArchiveBuilder::Format)
Q_DECLARE_METATYPE(norvelle::test::FixtureServer::Reply)

namespace {

// Every file below a folder with its content, to prove a cycle left nothing behind.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path),
                     QFileInfo(path).isFile() ? readFile(path) : QByteArray("<dir>"));
    }
    return files;
}

// A swap whose second rename fails, as on a full or locked volume.
class FailingSwap : public BundleInstaller {
protected:
    bool renamePath(const QString& from, const QString& to, QString* error) override
    {
        if (++m_calls == 2) {
            *error = QStringLiteral("Permission denied");
            return false;
        }
        return BundleInstaller::renamePath(from, to, error);
    }

private:
    int m_calls = 0;
};

} // namespace

class UpdaterEngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }
    void init();
    void cleanup();

    void startupChecks_data();
    void startupChecks();
    void checkEndsExactlyOnce_data();
    void checkEndsExactlyOnce();
    void permissionIsAskedOncePerUpdater();
    void skipWritesNothing();
    void channelsAndSystemVersionReachTheSelection();
    void machineAndLanguageReachTheSelection();
    void installsSignedArchives_data();
    void installsSignedArchives();
    void refusesUnsafeInstalls_data();
    void refusesUnsafeInstalls();
    void declinedInstallChangesNothing_data();
    void declinedInstallChangesNothing();
    void destroyingTheUpdaterStopsTheCycle();

private:
    std::unique_ptr<Updater> startedUpdater(UpdaterFactory::Options options = {});
    void runCycle(Updater& updater);
    void expectUntouched();
    QString serveArchive(const QString& name, const QVariantMap& info, Format format,
                         const QByteArray& payload);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<FixtureServer> m_server;
    UpdaterSigningKey m_key;
    QString m_applications;
    QString m_installed;
    UpdaterRecordingDriver m_driver;
};

void UpdaterEngineTest::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_server = std::make_unique<FixtureServer>();
    m_driver = UpdaterRecordingDriver();
    m_applications = m_root->filePath("Applications");
    m_installed = UpdaterFixture::writeBundle(
        m_applications, "Sample.app",
        UpdaterFixture::info("org.example.sample", "1.0",
                             {{"SUFeedURL", m_server->url("/appcast.xml").toString()},
                              {"SUPublicEDKey", m_key.publicKeyBase64()}}),
        "version one");
}

void UpdaterEngineTest::cleanup()
{
    m_server.reset();
    m_root.reset();
}

std::unique_ptr<Updater> UpdaterEngineTest::startedUpdater(UpdaterFactory::Options options)
{
    if (options.http.timeout == 60s)
        options.http.timeout = 10s;
    std::unique_ptr<Updater> updater =
        UpdaterFactory(std::move(options)).create(m_installed, m_driver, &m_driver);
    updater->start();
    return updater;
}

void UpdaterEngineTest::runCycle(Updater& updater)
{
    m_driver.events.clear();
    QVERIFY(updater.checkForUpdates());
    QVERIFY(!updater.canCheckForUpdates());
    QVERIFY(!updater.checkForUpdates()); // one cycle at a time
    QTRY_VERIFY_WITH_TIMEOUT(updater.canCheckForUpdates(), 20000);
    QVERIFY(m_driver.finished());
    QCOMPARE(m_driver.events.count("dismissInstallation"), 1);
    QCOMPARE(m_driver.events.last(), "dismissInstallation");
}

// The installed version is still in place, with nothing beside it.
void UpdaterEngineTest::expectUntouched()
{
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), "version one");
    QCOMPARE(entriesIn(m_applications), QStringList{"Sample.app"});
}

QString UpdaterEngineTest::serveArchive(const QString& name, const QVariantMap& info, Format format,
                                        const QByteArray& payload)
{
    const QString archive =
        UpdaterFixture::archiveBundle(m_root->filePath("publish"), "Sample.app", info, name, format, payload);
    m_server->route("/downloads/" + name, Reply{200, readFile(archive)});
    return archive;
}

void UpdaterEngineTest::startupChecks_data()
{
    QTest::addColumn<QVariantMap>("info");
    QTest::addColumn<QString>("delegateFeed"); // "-": the delegate names none
    QTest::addColumn<QString>("expected");     // the error, or "ok <feed>"

    const QString feed = "https://updates.example.org/appcast.xml";
    const QVariantMap base = UpdaterFixture::info("org.example.sample", "1.0", {{"SUFeedURL", feed}});
    auto with = [&](const QString& key, const QVariant& value) {
        QVariantMap info = base;
        if (value.isValid())
            info.insert(key, value);
        else
            info.remove(key);
        return info;
    };
    QTest::newRow("bundle feed") << base << "-"
                                 << "ok " + feed;
    QTest::newRow("delegate feed wins") << base << "http://other.example.org/feed.xml"
                                        << "ok http://other.example.org/feed.xml";
    QTest::newRow("short version only") << with("CFBundleVersion", {}) << "-"
                                        << "ok " + feed;
    QVariantMap noVersion = with("CFBundleVersion", {});
    noVersion.remove("CFBundleShortVersionString");
    QTest::newRow("no version") << noVersion << "-"
                                << "The application at %1 has no bundle version";
    QTest::newRow("no feed") << with("SUFeedURL", {}) << "-"
                             << "The application names no update feed (SUFeedURL)";
    QTest::newRow("feed not a string") << with("SUFeedURL", 3) << "-"
                                       << "The application names no update feed (SUFeedURL)";
    QTest::newRow("ftp feed")
        << with("SUFeedURL", "ftp://example.org/a.xml") << "-"
        << "The update feed address is not an http or https URL: ftp://example.org/a.xml";
    QTest::newRow("file feed") << base << "file:///etc/passwd"
                               << "The update feed address is not an http or https URL: file:///etc/passwd";
    QTest::newRow("relative feed") << with("SUFeedURL", "appcast.xml") << "-"
                                   << "The update feed address is not an http or https URL: appcast.xml";
    QTest::newRow("malformed key") << with("SUPublicEDKey", "not base64!") << "-"
                                   << "The application's public EdDSA key (SUPublicEDKey) is malformed";
    QTest::newRow("key not a string") << with("SUPublicEDKey", true) << "-"
                                      << "The application's public EdDSA key (SUPublicEDKey) is malformed";
    QTest::newRow("no key is fine") << with("SUPublicEDKey", {}) << "-"
                                    << "ok " + feed;
}

void UpdaterEngineTest::startupChecks()
{
    QFETCH(QVariantMap, info);
    QFETCH(QString, delegateFeed);
    QFETCH(QString, expected);

    const QString bundle = UpdaterFixture::writeBundle(m_root->path(), "Other.app", info);
    expected.replace("%1", bundle);
    if (delegateFeed != "-")
        m_driver.feedUrlOverride = delegateFeed;
    std::unique_ptr<Updater> updater = UpdaterFactory().create(bundle, m_driver, &m_driver);
    QVERIFY(!updater->checkForUpdates()); // nothing runs before a successful start
    try {
        updater->start();
        QCOMPARE("ok " + updater->feedUrl().toString(), expected);
        QVERIFY(updater->canCheckForUpdates());
    } catch (const UpdaterError& error) {
        QCOMPARE(error.description(), expected);
        QVERIFY(!updater->canCheckForUpdates());
    }
    QVERIFY(m_driver.events.isEmpty());

    std::unique_ptr<Updater> missing =
        UpdaterFactory().create(m_root->filePath("Missing.app"), m_driver, nullptr);
    QVERIFY_THROWS_EXCEPTION(UpdaterError, missing->start());
}

void UpdaterEngineTest::checkEndsExactlyOnce_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("expected");

    const QByteArray newer = UpdaterFixture::appcast(
        {{"1.0", "", "https://example.org/1.0.zip"}, {"1.1", "1.1 final", "https://example.org/1.1.zip"}});
    const QByteArray same = UpdaterFixture::appcast({{"1.0", "", "https://example.org/1.0.zip"}});
    QTest::newRow("found") << Reply{200, newer} << "found 1.1 final";
    QTest::newRow("found, old style")
        << Reply{200, UpdaterFixture::appcast({{"2.0", "2", "https://e.org/2.zip", {}, 0, {}, true}})}
        << "found 2";
    QTest::newRow("not found") << Reply{200, same} << "notFound";
    QTest::newRow("empty feed") << Reply{200, UpdaterFixture::appcast({})} << "notFound";
    QTest::newRow("404") << Reply{404, "missing"} << "error: The update feed answered with HTTP status 404";
    QTest::newRow("500 with a feed") << Reply{500, newer}
                                     << "error: The update feed answered with HTTP status 500";
    QTest::newRow("malformed") << Reply{200, newer.left(newer.size() / 2)}
                               << "error: The update feed is not a valid appcast";
    QTest::newRow("stall") << Reply{.body = newer, .stallAfter = 20}
                           << "error: The update feed did not answer in time";
    QTest::newRow("silent server") << Reply{.body = newer, .delay = 5s}
                                   << "error: The update feed did not answer in time";
    QTest::newRow("nobody listening") << Reply{} << "error: The update feed could not be loaded: ";
}

void UpdaterEngineTest::checkEndsExactlyOnce()
{
    QFETCH(Reply, reply);
    QFETCH(QString, expected);
    m_server->route("/appcast.xml", reply);
    if (QByteArray(QTest::currentDataTag()) == "nobody listening") {
        const QString feed = m_server->url("/appcast.xml").toString();
        m_server.reset(); // the port is closed now
        UpdaterFixture::writeBundle(m_applications, "Sample.app",
                                    UpdaterFixture::info("org.example.sample", "1.0", {{"SUFeedURL", feed}}));
    }

    UpdaterFactory::Options options;
    options.http.timeout = 300ms;
    std::unique_ptr<Updater> updater = startedUpdater(options);
    runCycle(*updater);

    QCOMPARE(m_driver.terminalCount(), 1);
    const QString terminal = m_driver.events[m_driver.events.size() - 2];
    QVERIFY2(terminal.startsWith(expected), qPrintable(m_driver.events.join(" | ")));
    QCOMPARE(m_driver.events.mid(0, 3), (QStringList{"permission", "checkStarted", "checkDismissed"}));
    QCOMPARE(m_driver.events.size(), 5);
    if (m_server)
        QCOMPARE(m_server->requests("/appcast.xml").size(), 1);
}

void UpdaterEngineTest::permissionIsAskedOncePerUpdater()
{
    m_server->route("/appcast.xml", Reply{200, UpdaterFixture::appcast({})});
    std::unique_ptr<Updater> updater = startedUpdater();
    runCycle(*updater);
    QCOMPARE(m_driver.events.first(), "permission");
    runCycle(*updater);
    QCOMPARE(m_driver.events,
             (QStringList{"checkStarted", "checkDismissed", "notFound", "dismissInstallation"}));

    // A bundle that settles automatic checks itself is never asked about.
    m_installed = UpdaterFixture::writeBundle(
        m_root->filePath("Other"), "Sample.app",
        UpdaterFixture::info(
            "org.example.sample", "1.0",
            {{"SUFeedURL", m_server->url("/appcast.xml").toString()}, {"SUEnableAutomaticChecks", false}}));
    std::unique_ptr<Updater> settled = startedUpdater();
    runCycle(*settled);
    QVERIFY(!m_driver.events.contains("permission"));
}

void UpdaterEngineTest::skipWritesNothing()
{
    m_server->route(
        "/appcast.xml",
        Reply{200, UpdaterFixture::appcast({{"1.1", "", m_server->url("/downloads/a.zip").toString()}})});
    qputenv("XDG_CONFIG_HOME", m_root->filePath("config").toUtf8());
    const QMap<QString, QByteArray> before = snapshot(m_root->path());
    for (UpdateChoice choice : {UpdateChoice::skip, UpdateChoice::dismiss}) {
        m_driver.foundChoice = choice;
        std::unique_ptr<Updater> updater = startedUpdater();
        runCycle(*updater);
        QVERIFY(m_driver.events.contains("found 1.1"));
    }
    QCOMPARE(snapshot(m_root->path()), before);
    QVERIFY(m_server->requests("/downloads/a.zip").isEmpty());
}

void UpdaterEngineTest::channelsAndSystemVersionReachTheSelection()
{
    m_server->route(
        "/appcast.xml",
        Reply{200,
              UpdaterFixture::appcast(
                  {{"1.1", "", "https://e.org/1.1.zip"},
                   {"1.2", "", "https://e.org/1.2.zip", {}, 0, "<sparkle:channel>beta</sparkle:channel>"},
                   {"1.3",
                    "",
                    "https://e.org/1.3.zip",
                    {},
                    0,
                    "<sparkle:minimumSystemVersion>15.0</sparkle:minimumSystemVersion>"}})});
    UpdaterFactory::Options macos14;
    macos14.systemVersion = "14.5";
    std::unique_ptr<Updater> updater = startedUpdater(macos14);
    runCycle(*updater);
    QCOMPARE(m_driver.foundItems.last().versionString, "1.1");

    m_driver.channels = {"beta"};
    runCycle(*updater);
    QCOMPARE(m_driver.foundItems.last().versionString, "1.2");

    std::unique_ptr<Updater> linux = startedUpdater(); // no system version: limits ignored
    runCycle(*linux);
    QCOMPARE(m_driver.foundItems.last().versionString, "1.3");
}

void UpdaterEngineTest::machineAndLanguageReachTheSelection()
{
    const QString notes =
        "<sparkle:releaseNotesLink xml:lang=\"de\">https://e.org/de.html</sparkle:releaseNotesLink>"
        "<sparkle:releaseNotesLink>https://e.org/en.html</sparkle:releaseNotesLink>";
    m_server->route("/appcast.xml",
                    Reply{200, UpdaterFixture::appcast(
                                   {{"1.2",
                                     "",
                                     "https://e.org/1.2.zip",
                                     {},
                                     0,
                                     "<sparkle:hardwareRequirements>arm64</sparkle:hardwareRequirements>"},
                                    {"1.1", "", "https://e.org/1.1.zip", {}, 0, notes}})});
    UpdaterFactory::Options intel;
    intel.machineArchitecture = "x86_64";
    intel.language = "de-CH";
    std::unique_ptr<Updater> updater = startedUpdater(intel);
    runCycle(*updater);
    QCOMPARE(m_driver.foundItems.last().versionString, "1.1");
    QCOMPARE(m_driver.foundItems.last().releaseNotesUrl, QUrl("https://e.org/de.html"));

    UpdaterFactory::Options silicon;
    silicon.machineArchitecture = "arm64";
    std::unique_ptr<Updater> other = startedUpdater(silicon);
    runCycle(*other);
    QCOMPARE(m_driver.foundItems.last().versionString, "1.2");
}

void UpdaterEngineTest::installsSignedArchives_data()
{
    QTest::addColumn<Format>("format");
    QTest::newRow("zip") << Format::zip;
    QTest::newRow("tar.gz") << Format::tarGzip;
    QTest::newRow("tar.bz2") << Format::tarBzip2;
    QTest::newRow("tar.xz") << Format::tarXz;
}

void UpdaterEngineTest::installsSignedArchives()
{
    QFETCH(Format, format);
    const QString name = "Sample-1.1" + UpdaterArchiveBuilder::extension(format);
    const QByteArray payload = QByteArray("version two ") + QByteArray(400000, 'z');
    const QString archive =
        serveArchive(name, UpdaterFixture::info("org.example.sample", "1.1"), format, payload);
    m_server->route("/appcast.xml", Reply{200, UpdaterFixture::appcast({{"1.1", "1.1", "downloads/" + name,
                                                                         m_key.signFile(archive), 0}})});
    m_driver.foundChoice = UpdateChoice::install;
    // What an install killed earlier left; this one clears it away.
    {
        InstallStaging killed(m_installed);
        killed.leaveToSweep();
        QVERIFY(QDir().mkpath(killed.filePath("extracted")));
    }

    std::unique_ptr<Updater> updater = startedUpdater();
    runCycle(*updater);

    QCOMPARE(m_driver.events,
             (QStringList{"permission", "checkStarted", "checkDismissed", "found 1.1", "downloadInitiated",
                          "expectedLength", "extractionStarted", "readyToInstall", "installing", "installed",
                          "dismissInstallation"}));
    const quint64 size = quint64(QFileInfo(archive).size());
    QCOMPARE(m_driver.expectedBytes, size);
    QCOMPARE(m_driver.receivedBytes, size);
    QVERIFY(!m_driver.extractionFractions.isEmpty());
    QCOMPARE(m_driver.extractionFractions.last(), 1.0);
    QVERIFY(std::is_sorted(m_driver.extractionFractions.begin(), m_driver.extractionFractions.end()));

    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), payload);
    QCOMPARE(UpdaterBundle::load(m_installed)->version(), "1.1");
    QVERIFY(QFileInfo(m_installed + "/Contents/MacOS/app").isExecutable());
    QCOMPARE(entriesIn(m_applications), QStringList{"Sample.app"});
}

void UpdaterEngineTest::refusesUnsafeInstalls_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("downloads");

    QTest::newRow("tampered archive") << "tampered"
                                      << "The update's EdDSA signature is not valid" << true;
    QTest::newRow("signed by another key") << "other key"
                                           << "The update's EdDSA signature is not valid" << true;
    QTest::newRow("no signature") << "no signature"
                                  << "The update has no EdDSA signature" << false;
    QTest::newRow("installed bundle has no key")
        << "no key"
        << "The application has no public EdDSA key (SUPublicEDKey), so the update cannot be verified"
        << false;
    QTest::newRow("informational") << "informational"
                                   << "This update is informational only and cannot be installed" << false;
    QTest::newRow("disk image") << "dmg"
                                << "Disk images cannot be installed here" << false;
    QTest::newRow("installer package") << "pkg"
                                       << "Installer packages cannot be installed here" << false;
    QTest::newRow("delta only")
        << "delta"
        << "Delta updates cannot be installed here, and the update has no full download" << false;
    QTest::newRow("download 404") << "404"
                                  << "The update download answered with HTTP status 404" << true;
    QTest::newRow("download stalls") << "stall"
                                     << "The update download stalled and timed out" << true;
    QTest::newRow("hostile archive")
        << "hostile"
        << "The update could not be extracted: the entry \"../escaped\" points outside the update" << true;
    QTest::newRow("link out of the archive") << "link out"
                                             << "The update could not be extracted: the link "
                                                "\"Sample.app/Contents/evil\" points outside the update"
                                             << true;
    QTest::newRow("other identifier")
        << "identifier"
        << "The update's bundle identifier \"org.example.impostor\" does not match" << true;
    QTest::newRow("not newer than installed")
        << "older"
        << "The update's version 1.0 is not newer than the installed version 1.0" << true;
    QTest::newRow("disk fills while extracting") << "full disk"
                                                 << "The update could not be extracted: could not write "
                                                    "\"Sample.app/Contents/MacOS/app\": File too large"
                                                 << true;
    QTest::newRow("swap fails") << "swap"
                                << "The update could not be moved into place: Permission denied" << true;
}

void UpdaterEngineTest::refusesUnsafeInstalls()
{
    QFETCH(QString, variant);
    QFETCH(QString, expected);
    QFETCH(bool, downloads);

    QVariantMap info = UpdaterFixture::info("org.example.sample", variant == "older" ? "1.0" : "1.1");
    if (variant == "identifier")
        info["CFBundleIdentifier"] = "org.example.impostor";
    const QString name = variant == "dmg" ? "Sample.dmg" : "Sample.zip";
    QString archive = serveArchive(name, info, Format::zip,
                                   variant == "full disk" ? QByteArray(2000000, 'z') : "version two");
    if (variant == "hostile" || variant == "link out") {
        UpdaterArchiveBuilder hostile;
        hostile.addTree(m_root->filePath("publish/build-Sample.zip/Sample.app"), "Sample.app");
        if (variant == "hostile")
            hostile.addFile("../escaped", "gotcha");
        else
            hostile.addSymlink("Sample.app/Contents/evil", "../../../escaped");
        QVERIFY(hostile.write(archive, Format::zip));
        m_server->route("/downloads/" + name, Reply{200, readFile(archive)});
    }
    QString signature =
        variant == "other key" ? UpdaterSigningKey().signFile(archive) : m_key.signFile(archive);
    if (variant == "no signature")
        signature.clear();
    if (variant == "tampered") {
        QByteArray body = readFile(archive);
        body[body.size() / 2] = char(body[body.size() / 2] ^ 0x01);
        m_server->route("/downloads/" + name, Reply{200, body});
    }
    if (variant == "404")
        m_server->route("/downloads/" + name, Reply{404, "gone"});
    if (variant == "stall")
        m_server->route("/downloads/" + name, Reply{.body = readFile(archive), .stallAfter = 100});

    FeedItem item{"1.1", "", m_server->url("/downloads/" + name).toString(), signature, 0};
    if (variant == "informational")
        item.extra = "<sparkle:informationalUpdate/>";
    if (variant == "pkg")
        item.extra = "<sparkle:installationType>package</sparkle:installationType>";
    if (variant == "delta") {
        item.url.clear();
        item.extra = "<sparkle:deltas><enclosure url=\"" + m_server->url("/downloads/x.delta").toString() +
                     "\" sparkle:deltaFrom=\"1.0\"/></sparkle:deltas>";
    }
    m_server->route("/appcast.xml", Reply{200, UpdaterFixture::appcast({item})});
    if (variant == "no key") {
        QVariantMap keyless = UpdaterFixture::info("org.example.sample", "1.0",
                                                   {{"SUFeedURL", m_server->url("/appcast.xml").toString()}});
        UpdaterFixture::writeBundle(m_applications, "Sample.app", keyless, "version one");
    }

    UpdaterFactory::Options options;
    options.http.timeout = 300ms;
    if (variant == "swap")
        options.installer = std::make_shared<FailingSwap>();
    m_driver.foundChoice = UpdateChoice::install;
    std::unique_ptr<Updater> updater = startedUpdater(options);
    {
        std::optional<FileSizeLimit> fullDisk;
        if (variant == "full disk")
            fullDisk.emplace(512 * 1024);
        runCycle(*updater);
    }

    QCOMPARE(m_driver.errors.size(), 1);
    QVERIFY2(m_driver.errors[0].description().startsWith(expected),
             qPrintable(m_driver.errors[0].description()));
    QVERIFY(!m_driver.events.contains("installing") || variant == "swap");
    QVERIFY(!m_driver.events.contains("installed"));
    expectUntouched();
    QVERIFY(!QFileInfo::exists(m_root->filePath("escaped")));
    QVERIFY(!QFileInfo::exists(m_applications + "/escaped"));
    QCOMPARE(!m_server->requests("/downloads/" + name).isEmpty(), downloads);
}

void UpdaterEngineTest::declinedInstallChangesNothing_data()
{
    QTest::addColumn<QString>("variant");
    QTest::newRow("dismissed when ready") << "ready";
    QTest::newRow("download cancelled") << "cancel";
}

void UpdaterEngineTest::declinedInstallChangesNothing()
{
    QFETCH(QString, variant);
    const QString archive =
        serveArchive("Sample.zip", UpdaterFixture::info("org.example.sample", "1.1"), Format::zip, "two");
    if (variant == "cancel") // slow enough that the cancellation lands mid-download
        m_server->route("/downloads/Sample.zip",
                        Reply{.body = readFile(archive), .chunkSize = 64, .chunkInterval = 20ms});
    m_server->route(
        "/appcast.xml",
        Reply{200, UpdaterFixture::appcast({{"1.1", "", m_server->url("/downloads/Sample.zip").toString(),
                                             m_key.signFile(archive)}})});
    m_driver.foundChoice = UpdateChoice::install;
    m_driver.readyChoice = UpdateChoice::dismiss;
    m_driver.cancelDownload = variant == "cancel";

    std::unique_ptr<Updater> updater = startedUpdater();
    runCycle(*updater);
    QVERIFY(m_driver.errors.isEmpty());
    QCOMPARE(m_driver.events.contains("readyToInstall"), variant == "ready");
    QVERIFY(!m_driver.events.contains("installing"));
    expectUntouched();
}

void UpdaterEngineTest::destroyingTheUpdaterStopsTheCycle()
{
    QByteArray noise(200000, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& c : noise)
        c = char(generator.bounded(256));
    const QString archive =
        serveArchive("Sample.zip", UpdaterFixture::info("org.example.sample", "1.1"), Format::zip, noise);
    m_server->route("/downloads/Sample.zip",
                    Reply{.body = readFile(archive), .chunkSize = 1024, .chunkInterval = 50ms});
    m_server->route(
        "/appcast.xml",
        Reply{200, UpdaterFixture::appcast({{"1.1", "", m_server->url("/downloads/Sample.zip").toString(),
                                             m_key.signFile(archive)}})});
    m_driver.foundChoice = UpdateChoice::install;

    std::unique_ptr<Updater> updater = startedUpdater();
    QVERIFY(updater->checkForUpdates());
    QTRY_VERIFY(m_driver.receivedBytes > 0);
    QElapsedTimer timer;
    timer.start();
    updater.reset();
    QVERIFY(timer.elapsed() < 3000);
    const QStringList seen = m_driver.events;
    QCoreApplication::processEvents();
    QCOMPARE(m_driver.events, seen);                // nothing reaches the driver afterwards
    InstallRecovery::recoverFolder(m_applications); // the next start takes what the stop left
    expectUntouched();
}

QTEST_GUILESS_MAIN(UpdaterEngineTest)
#include "tst_updater_engine.moc"
