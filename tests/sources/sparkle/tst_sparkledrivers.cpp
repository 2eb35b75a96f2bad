#include "LogCapture.h"
#include "ScriptedUpdater.h"
#include "UpdaterFixture.h"
#include "model/Application.h"
#include "model/NorvelleError.h"
#include "sources/sparkle/SparkleUpdateChecker.h"
#include "sources/sparkle/SparkleUpdateOperation.h"

#include <QTemporaryDir>
#include <QtTest>
#include <limits>

using namespace norvelle;
using norvelle::test::appcastItem;
using norvelle::test::LogCapture;
using norvelle::test::script;
using norvelle::test::ScriptedStep;
using norvelle::test::ScriptedUpdater;
using norvelle::test::ScriptedUpdaterFactory;
using norvelle::test::UpdaterFixture;
using Kind = ScriptedStep::Kind;
using Phase = SparkleUpdateOperation::Phase;

Q_DECLARE_METATYPE(norvelle::AppcastItem)

namespace {

struct CheckOutcome {
    int calls = 0;
    std::optional<SparkleUpdate> update;
    QString error; // empty for success
};

struct InstallOutcome {
    int calls = 0;
    QStringList phases;
    QString error;
};

// Phases as readable text, so a failed comparison shows them.
QString describe(const Phase& phase)
{
    switch (phase.kind) {
    case Phase::Kind::failed:
        return "failed: " + phase.reason;
    case Phase::Kind::checking:
        return "checking";
    case Phase::Kind::downloading:
        return "downloading";
    case Phase::Kind::extracting:
        return "extracting";
    case Phase::Kind::installing:
        return "installing";
    case Phase::Kind::completed:
        return "completed";
    }
    return {};
}

QString sparkleUpdateFailed()
{
    return NorvelleError::sparkleUpdateFailed().description();
}

} // namespace

class SparkleDriversTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void checkerBuildsTheUpdateFromTheItem_data();
    void checkerBuildsTheUpdateFromTheItem();
    void checkerUsesTheDiscoveredFeed_data();
    void checkerUsesTheDiscoveredFeed();
    void checkerEndsOnce_data();
    void checkerEndsOnce();
    void operationEndsOnce_data();
    void operationEndsOnce();

private:
    std::shared_ptr<Application> application(std::optional<SparkleInfo> info = std::nullopt) const;
    std::shared_ptr<CheckOutcome> check(const std::shared_ptr<Application>& app) const;
    std::shared_ptr<InstallOutcome> install(const std::shared_ptr<Application>& app,
                                            const SparkleInfo& info) const;
    UpdaterBundle writeBundle(const QVariantMap& extra = {}) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<ScriptedUpdaterFactory> m_factory;
    UpdaterBundle m_bundle;
};

void SparkleDriversTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_factory = std::make_shared<ScriptedUpdaterFactory>();
    m_bundle = writeBundle({{"SUFeedURL", "https://example.org/plain.xml"}});
}

UpdaterBundle SparkleDriversTest::writeBundle(const QVariantMap& extra) const
{
    const QString path =
        UpdaterFixture::writeBundle(m_dir->path(), QStringLiteral("Sample.app"),
                                    UpdaterFixture::info("org.example.sample", "1.0", extra));
    std::optional<UpdaterBundle> bundle = UpdaterBundle::load(path);
    if (!bundle)
        qFatal("unreadable test bundle");
    return *bundle;
}

std::shared_ptr<Application> SparkleDriversTest::application(std::optional<SparkleInfo> info) const
{
    return Application::create(QStringLiteral("Sample"), QStringLiteral("org.example.sample"),
                               QUrl::fromLocalFile(m_bundle.path()), QStringLiteral("1.0"),
                               QList<Application::Source>{Application::Source::sparkle}, std::nullopt,
                               std::nullopt, std::nullopt, std::move(info));
}

std::shared_ptr<CheckOutcome> SparkleDriversTest::check(const std::shared_ptr<Application>& app) const
{
    auto outcome = std::make_shared<CheckOutcome>();
    // The test lets go of the checker at once, as the service does.
    std::make_shared<SparkleUpdateChecker>(
        app, m_bundle, m_factory,
        [outcome](std::optional<SparkleUpdate> update, std::exception_ptr error) {
            ++outcome->calls;
            outcome->update = std::move(update);
            if (error)
                outcome->error = describeException(error);
        })
        ->start();
    return outcome;
}

std::shared_ptr<InstallOutcome> SparkleDriversTest::install(const std::shared_ptr<Application>& app,
                                                            const SparkleInfo& info) const
{
    auto outcome = std::make_shared<InstallOutcome>();
    auto operation = std::make_shared<SparkleUpdateOperation>(app, m_bundle, info, m_factory);
    operation->setProgressHandler([outcome](const Phase& p) { outcome->phases.append(describe(p)); });
    operation->setCompletionHandler([outcome](std::exception_ptr error) {
        ++outcome->calls;
        if (error)
            outcome->error = describeException(error);
    });
    operation->start();
    return outcome;
}

void SparkleDriversTest::checkerBuildsTheUpdateFromTheItem_data()
{
    QTest::addColumn<AppcastItem>("offered");
    QTest::addColumn<QString>("availableVersion");
    QTest::addColumn<QString>("downloadURL");
    QTest::addColumn<qint64>("fileSize"); // -1: none

    AppcastItem full = appcastItem("2.4", "2417");
    full.itemDescription = QStringLiteral("<p>New</p>");
    full.releaseNotesUrl = QUrl(QStringLiteral("https://example.org/notes/2.4.html"));
    full.fileUrl = QUrl(QStringLiteral("https://example.org/Sample 2.4.zip"));
    full.date = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    full.contentLength = 1234;
    QTest::newRow("every fact") << full << "2.4,2417"
                                << "https://example.org/Sample%202.4.zip" << qint64(1234);
    QTest::newRow("build equals display version") << appcastItem("1.2", "1.2") << "1.2"
                                                  << "" << qint64(-1);
    QTest::newRow("empty build") << appcastItem("1.2", "") << "1.2"
                                 << "" << qint64(-1);
    AppcastItem huge = appcastItem("1.2", "345");
    huge.contentLength = std::numeric_limits<quint64>::max();
    QTest::newRow("length beyond the signed range") << huge << "1.2,345"
                                                    << "" << qint64(-1);
}

void SparkleDriversTest::checkerBuildsTheUpdateFromTheItem()
{
    QFETCH(AppcastItem, offered);
    QFETCH(QString, availableVersion);
    QFETCH(QString, downloadURL);
    QFETCH(qint64, fileSize);

    LogCapture log;
    m_factory->script = script(
        {{Kind::permission}, {Kind::checkStarted}, {Kind::hold}, {Kind::found, offered}, {Kind::finished}});
    const auto app = application();
    const auto outcome = check(app);
    QTRY_VERIFY(m_factory->record->held);
    app->setCurrentVersion(QStringLiteral("1.1")); // read when the update is found
    m_factory->record->resume();
    QTRY_COMPARE(m_factory->record->destroyed, 1);

    QCOMPARE(outcome->calls, 1);
    QVERIFY(outcome->error.isEmpty());
    QVERIFY(outcome->update);
    const SparkleUpdate& update = *outcome->update;
    QCOMPARE(update.applicationId, app->id().toString(QUuid::WithoutBraces).toUpper());
    QCOMPARE(update.bundleIdentifier, QStringLiteral("org.example.sample"));
    QCOMPARE(update.feedURL, QStringLiteral("https://example.org/plain.xml"));
    QCOMPARE(update.currentVersion, QStringLiteral("1.1"));
    QCOMPARE(update.availableVersion, availableVersion);
    QCOMPARE(update.releaseNotes, offered.itemDescription);
    QCOMPARE(update.releaseNotesURL.has_value(), !offered.releaseNotesUrl.isEmpty());
    if (update.releaseNotesURL)
        QCOMPARE(*update.releaseNotesURL, offered.releaseNotesUrl.toString());
    QCOMPARE(update.downloadURL, downloadURL);
    QCOMPARE(update.publishedDate.has_value(), offered.date.isValid());
    QCOMPARE(update.fileSize.value_or(-1), fileSize);

    QVERIFY(
        log.contains(Logger::Level::info, "Sparkle found update for Sample: 1.1 New: " + availableVersion));
    // Offers are skipped, and automatic checks are never allowed.
    QCOMPARE(m_factory->record->choices, QList<UpdateChoice>{UpdateChoice::skip});
    QCOMPARE(m_factory->record->permissions, (QList<QPair<bool, bool>>{{false, false}}));
}

void SparkleDriversTest::checkerUsesTheDiscoveredFeed_data()
{
    QTest::addColumn<QVariantMap>("plist");
    QTest::addColumn<QString>("discovered"); // empty: the application has no sparkleInfo
    QTest::addColumn<QString>("feed");       // empty: the delegate answers nothing

    QTest::newRow("secure key preferred over insecure SUFeedURL")
        << QVariantMap{{"SUFeedURL", "http://example.org/old.xml"},
                       {"SPUFeedURL", "https://example.org/new.xml"}}
        << "https://example.org/new.xml"
        << "https://example.org/new.xml";
    QTest::newRow("feed under another key")
        << QVariantMap{{"SUAppcastURL", "https://example.org/a.xml"}} << "https://example.org/a.xml"
        << "https://example.org/a.xml";
    QTest::newRow("undiscovered: SUFeedURL") << QVariantMap{{"SUFeedURL", "https://example.org/f.xml"}} << ""
                                             << "https://example.org/f.xml";
    QTest::newRow("undiscovered, SUFeedURL not a string") << QVariantMap{{"SUFeedURL", 7}} << ""
                                                          << "";
    QTest::newRow("undiscovered, no SUFeedURL") << QVariantMap{} << ""
                                                << "";
}

void SparkleDriversTest::checkerUsesTheDiscoveredFeed()
{
    QFETCH(QVariantMap, plist);
    QFETCH(QString, discovered);
    QFETCH(QString, feed);

    m_bundle = writeBundle(plist);
    std::optional<SparkleInfo> info;
    if (!discovered.isEmpty())
        info = SparkleInfo{QUrl(discovered), std::nullopt, std::nullopt, false};
    m_factory->script = script({{Kind::found, appcastItem("2.0", "2.0")}, {Kind::finished}});
    const auto outcome = check(application(info));
    QTRY_COMPARE(outcome->calls, 1);

    const std::optional<QString> expected = feed.isEmpty() ? std::nullopt : std::optional<QString>(feed);
    QCOMPARE(m_factory->record->feeds, QList<std::optional<QString>>{expected});
    QVERIFY(outcome->update);
    QCOMPARE(outcome->update->feedURL, feed);
}

void SparkleDriversTest::checkerEndsOnce_data()
{
    QTest::addColumn<ScriptedUpdater::Script>("steps");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("warning");

    const QString boom = QStringLiteral("The update feed could not be loaded: boom");
    // A feed that could not be read says nothing of updates: no "no update".
    QTest::newRow("updater error fails the check")
        << script({{Kind::checkStarted}, {Kind::error, {}, boom}, {Kind::finished}}) << false << boom
        << "Sparkle update check failed for Sample: " + boom;
    ScriptedUpdater::Script refused;
    refused.refuseCheck = true;
    QTest::newRow("check refused") << refused << false << sparkleUpdateFailed() << "";
    QTest::newRow("found twice") << script({{Kind::found, appcastItem("2.0", "2")},
                                            {Kind::found, appcastItem("3.0", "3")},
                                            {Kind::finished}})
                                 << true << ""
                                 << "";
    QTest::newRow("error after not found")
        << script({{Kind::notFound}, {Kind::error, {}, boom}, {Kind::notFound}, {Kind::finished}}) << false
        << ""
        << "";
}

void SparkleDriversTest::checkerEndsOnce()
{
    QFETCH(ScriptedUpdater::Script, steps);
    QFETCH(bool, found);
    QFETCH(QString, error);
    QFETCH(QString, warning);

    LogCapture log;
    m_factory->script = steps;
    const auto outcome = check(application());
    // The updater goes away with the cycle, or at once when it never ran.
    QTRY_COMPARE(m_factory->record->destroyed, 1);
    QCoreApplication::processEvents(); // anything still queued would arrive now

    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->error, error);
    QCOMPARE(outcome->update.has_value(), found);
    if (found)
        QCOMPARE(outcome->update->availableVersion, QStringLiteral("2.0,2"));
    int warnings = 0;
    for (const auto& line : log.lines())
        warnings += line.first == Logger::Level::warning;
    QCOMPARE(warnings, warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QVERIFY(log.contains(Logger::Level::warning, warning));
}

void SparkleDriversTest::operationEndsOnce_data()
{
    QTest::addColumn<ScriptedUpdater::Script>("steps");
    QTest::addColumn<QStringList>("phases");
    QTest::addColumn<QString>("error");

    const QString noUpdate = NorvelleError::noUpdateAvailable().description();
    const QString boom = QStringLiteral("The update download stalled and timed out");
    QTest::newRow("installed twice, nothing after the outcome")
        << script({{Kind::installed}, {Kind::installed}, {Kind::installing}, {Kind::finished}})
        << QStringList{"checking", "completed"} << "";
    QTest::newRow("not found twice, then an error")
        << script({{Kind::notFound}, {Kind::notFound}, {Kind::error, {}, boom}, {Kind::finished}})
        << QStringList{"checking", "failed: No update found"} << noUpdate;
}

void SparkleDriversTest::operationEndsOnce()
{
    QFETCH(ScriptedUpdater::Script, steps);
    QFETCH(QStringList, phases);
    QFETCH(QString, error);

    m_factory->script = steps;
    const auto outcome = install(application(), SparkleInfo{QUrl("https://example.org/f.xml"), {}, {}, true});
    QTRY_COMPARE(m_factory->record->destroyed, 1);
    QCoreApplication::processEvents();

    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->error, error);
    QCOMPARE(outcome->phases, phases);
}

QTEST_GUILESS_MAIN(SparkleDriversTest)
#include "tst_sparkledrivers.moc"
