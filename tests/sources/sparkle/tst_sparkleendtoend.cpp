#include "FixtureServer.h"
#include "LogCapture.h"
#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "UpdaterSigningKey.h"
#include "model/Application.h"
#include "model/NorvelleError.h"
#include "platform/http/HttpClient.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterFactory.h"
#include "sources/sparkle/ReleaseNotesConverter.h"
#include "sources/sparkle/SparkleService.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

using namespace norvelle;
using norvelle::test::FixtureServer;
using norvelle::test::LogCapture;
using norvelle::test::readFile;
using norvelle::test::UpdaterArchiveBuilder;
using norvelle::test::UpdaterFixture;
using norvelle::test::UpdaterSigningKey;

namespace {

// Consecutive repeats folded, so the extraction's progress count does not matter.
QStringList folded(const QStringList& reports)
{
    QStringList out;
    for (const QString& report : reports)
        if (out.isEmpty() || out.last() != report)
            out.append(report);
    return out;
}

} // namespace

// The service on the real updater, against an appcast, release notes and a signed archive
// served over TLS on the loopback interface.
class SparkleEndToEndTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }
    void init();
    void checksAndInstallsAnUpdate();
    void refusesABadlySignedUpdate();
    void feedErrorFailsTheCheck();

private:
    QFuture<std::optional<Update>> check();
    QFuture<QString> install(std::shared_ptr<QStringList> progress);
    void publish(const QString& signature);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FixtureServer> m_server;
    std::unique_ptr<SparkleService> m_service;
    std::shared_ptr<Application> m_application;
    UpdaterSigningKey m_key;
    QString m_installed;
    QString m_archive;
};

void SparkleEndToEndTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_server = std::make_unique<FixtureServer>(FixtureServer::Tls::on);
    const HttpClient::Options http{.caFile = FixtureServer::testCaFile()};
    UpdaterFactory::Options options;
    options.http = http;
    m_service = std::make_unique<SparkleService>(std::make_shared<UpdaterFactory>(options),
                                                 std::make_shared<HttpClient>(http));

    // The bundle's own SUFeedURL is insecure and unreachable; discovery chose the secure feed.
    QDir().mkpath(m_dir->filePath("Applications"));
    m_installed =
        UpdaterFixture::writeBundle(m_dir->filePath("Applications"), "Sample.app",
                                    UpdaterFixture::info("org.example.sample", "1.0",
                                                         {{"SUPublicEDKey", m_key.publicKeyBase64()},
                                                          {"SUFeedURL", "http://127.0.0.1:9/appcast.xml"}}));
    const SparkleInfo discovered{m_server->url("/appcast.xml"), std::nullopt, std::nullopt, false};
    m_application = Application::create(QStringLiteral("Sample"), QStringLiteral("org.example.sample"),
                                        QUrl::fromLocalFile(m_installed), QStringLiteral("1.0"),
                                        QList<Application::Source>{Application::Source::sparkle},
                                        std::nullopt, std::nullopt, std::nullopt, discovered);

    m_archive = UpdaterFixture::archiveBundle(
        m_dir->path(), "Sample.app",
        UpdaterFixture::info("org.example.sample", "2.0", {{"SUPublicEDKey", m_key.publicKeyBase64()}}),
        "Sample-2.0.zip", UpdaterArchiveBuilder::Format::zip);
    m_server->route("/Sample-2.0.zip", FixtureServer::Reply{200, readFile(m_archive)});
    m_server->route("/notes/2.0.html",
                    FixtureServer::Reply{200, "<h2>What's new</h2><p>Faster <b>sync</b></p>"});
}

void SparkleEndToEndTest::publish(const QString& signature)
{
    UpdaterFixture::FeedItem item;
    item.version = QStringLiteral("2.0");
    item.url = m_server->url("/Sample-2.0.zip").toString();
    item.signature = signature;
    item.length = QFileInfo(m_archive).size();
    item.extra = QStringLiteral("<sparkle:releaseNotesLink>notes/2.0.html</sparkle:releaseNotesLink>");
    m_server->route("/appcast.xml", FixtureServer::Reply{200, UpdaterFixture::appcast({item})});
}

QFuture<std::optional<Update>> SparkleEndToEndTest::check()
{
    return QtConcurrent::run(
        [service = m_service.get(), app = m_application] { return service->checkForUpdate(app); });
}

QFuture<QString> SparkleEndToEndTest::install(std::shared_ptr<QStringList> progress)
{
    return QtConcurrent::run([service = m_service.get(), app = m_application, progress] {
        try {
            service->update(app, [progress](const QString& message, double fraction) {
                progress->append(message + " @ " + QString::number(fraction));
            });
        } catch (const std::exception& e) {
            return describeException(e);
        }
        return QString();
    });
}

void SparkleEndToEndTest::checksAndInstallsAnUpdate()
{
    publish(m_key.signFile(m_archive));

    auto found = check();
    QTRY_VERIFY_WITH_TIMEOUT(found.isFinished(), 20000);
    const std::optional<Update> update = found.result();
    QVERIFY(update);
    QCOMPARE(update->latestVersion, QStringLiteral("2.0"));
    QCOMPARE(update->releaseNotes,
             ReleaseNotesConverter::convertHTMLToMarkdown("<h2>What's new</h2><p>Faster <b>sync</b></p>"));
    QCOMPARE(update->sparkleInfo->feedURL, m_server->url("/appcast.xml"));
    QCOMPARE(update->sparkleInfo->releaseNotesURL, std::optional<QUrl>(m_server->url("/notes/2.0.html")));
    QCOMPARE(m_server->requests("/Sample-2.0.zip").size(), 0); // a check downloads nothing

    m_application->setUpdate(update);
    auto progress = std::make_shared<QStringList>();
    auto installed = install(progress);
    QTRY_VERIFY_WITH_TIMEOUT(installed.isFinished(), 20000);
    QCOMPARE(installed.result(), QString());
    QCOMPARE(folded(*progress), (QStringList{"Checking for updates... @ 0.1", "Downloading update... @ 0.4",
                                             "Extracting update... @ 0.7", "Installing update... @ 0.9",
                                             "Update completed successfully @ 1"}));
    QCOMPARE(UpdaterBundle::load(m_installed)->version(), QStringLiteral("2.0"));
    QCOMPARE(readFile(m_installed + "/Contents/MacOS/app"), QByteArray("version two"));

    // Now nothing is newer: the check finds nothing, and an install says so.
    m_application->setCurrentVersion(QStringLiteral("2.0"));
    auto again = check();
    QTRY_VERIFY_WITH_TIMEOUT(again.isFinished(), 20000);
    QVERIFY(!again.result());
    progress->clear();
    auto reinstall = install(progress);
    QTRY_VERIFY_WITH_TIMEOUT(reinstall.isFinished(), 20000);
    QCOMPARE(reinstall.result(), NorvelleError::noUpdateAvailable().description());
    QCOMPARE(*progress, (QStringList{"Checking for updates... @ 0.1", "No update found @ 0"}));
}

void SparkleEndToEndTest::refusesABadlySignedUpdate()
{
    publish(UpdaterSigningKey().signFile(m_archive)); // signed with someone else's key
    auto found = check();
    QTRY_VERIFY_WITH_TIMEOUT(found.isFinished(), 20000);
    QVERIFY(found.result());
    m_application->setUpdate(found.result());

    auto progress = std::make_shared<QStringList>();
    auto installed = install(progress);
    QTRY_VERIFY_WITH_TIMEOUT(installed.isFinished(), 20000);
    const QString error = installed.result();
    QVERIFY(!error.isEmpty());
    QCOMPARE(progress->last(), error + " @ 0");
    QCOMPARE(UpdaterBundle::load(m_installed)->version(), QStringLiteral("1.0"));
}

void SparkleEndToEndTest::feedErrorFailsTheCheck()
{
    m_server->route("/appcast.xml", FixtureServer::Reply{503, "busy"});
    LogCapture log;
    auto found = check();
    QTRY_VERIFY_WITH_TIMEOUT(found.isFinished(), 20000);
    QVERIFY_THROWS_EXCEPTION(std::exception, found.result());
    QVERIFY(log.containsPrefix(Logger::Level::warning, "Sparkle update check failed for Sample: "));
}

QTEST_GUILESS_MAIN(SparkleEndToEndTest)
#include "tst_sparkleendtoend.moc"
