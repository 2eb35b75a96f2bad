#include "BrewTestWorld.h"
#include "LogCapture.h"
#include "model/NorvelleError.h"
#include "util/JsonError.h"

#include <QtTest>
#include <future>

using namespace norvelle;
using namespace norvelle::test;
using Level = Logger::Level;

namespace {

const QStringList kOutdatedArguments{QStringLiteral("outdated"), QStringLiteral("--cask"),
                                     QStringLiteral("--greedy"), QStringLiteral("--json=v2")};

void answerOutdated(BrewTestWorld& world, const QByteArray& json, int exitCode = 0)
{
    world.tool.respond(QStringLiteral("brew"), kOutdatedArguments,
                       FakeTool::Response().withStandardOutput(json).withExitCode(exitCode));
}

QByteArray outdatedEntry(const char* name, const char* installed, const char* current)
{
    return QByteArray(R"({"name":")") + name + R"(","installed_versions":[")" + installed +
           R"("],"current_version":")" + current + R"("})";
}

// A world with Acme.app installed by the cask "acme" and catalogue facts for it.
QString installAcme(BrewTestWorld& world, const QJsonObject& catalogueExtra = {})
{
    return world.installAcme(QStringLiteral("9"), catalogueExtra);
}

} // namespace

class TestBrewOutdated : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Homebrew gone since the last load: the list empties and nothing runs.
    void brewGoneEmptiesTheOutdatedList()
    {
        BrewTestWorld world;
        const QString app = installAcme(world);
        answerOutdated(world, QByteArray(R"({"casks":[)") + outdatedEntry("acme", "1.0", "2.0") + "]}");
        world.service->loadOutdatedCasks();
        QVERIFY(world.service->checkUpdate(app, QStringLiteral("1.0")));
        world.setBrewPresent(false);
        const qsizetype runs = world.tool.calls().size();
        LogCapture log;
        world.service->loadOutdatedCasks();
        world.setBrewPresent(true);
        QVERIFY(
            log.contains(Level::info, QStringLiteral("Homebrew not installed - skipping outdated check")));
        QCOMPARE(world.tool.calls().size(), runs);
        QVERIFY(!world.service->checkUpdate(app, QStringLiteral("1.0")));
    }

    void loadsEntriesAndSkipsUnusableOnes()
    {
        BrewTestWorld world;
        const QString app = installAcme(world);
        answerOutdated(world, QByteArray(R"({"formulae":[],"casks":[)") +
                                  outdatedEntry("acme", "1.0", "1.5") + "," +
                                  R"({"name":"bad","installed_versions":[],"current_version":"2"},)" +
                                  outdatedEntry("acme", "1.0", "2.0") + "]}");
        LogCapture log;
        world.service->loadOutdatedCasks();
        QVERIFY(log.contains(Level::info, QStringLiteral("Found 1 outdated casks")));
        QVERIFY(log.containsPrefix(Level::warning, QStringLiteral("Failed to parse cask: {")));
        QVERIFY(log.containsPrefix(Level::debug, QStringLiteral("Brew outdated: ")));
        QCOMPARE(world.tool.calls(QStringLiteral("brew")).last().arguments, kOutdatedArguments);
        const std::optional<Update> update = world.service->checkUpdate(app, QStringLiteral("1.0"));
        QVERIFY(update);
        QCOMPARE(update->latestVersion, QStringLiteral("2.0"));
    }

    void emptyCasksListLoadsNothing()
    {
        BrewTestWorld world;
        answerOutdated(world, R"({"formulae":[{"name":"x"}],"casks":[]})");
        LogCapture log;
        world.service->loadOutdatedCasks();
        QVERIFY(log.contains(Level::info, QStringLiteral("Found 0 outdated casks")));
    }

    void unusableOutputThrowsAndEmptiesTheList_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("kind"); // 0 brew output shape, 1 JSON, 2 command
        QTest::newRow("empty object") << QByteArray("{}") << 0 << 0;
        QTest::newRow("top-level array") << QByteArray("[]") << 0 << 0;
        QTest::newRow("casks a string") << QByteArray(R"({"casks":"x"})") << 0 << 0;
        QTest::newRow("casks holding a number") << QByteArray(R"({"casks":[1]})") << 0 << 0;
        QTest::newRow("empty output") << QByteArray() << 0 << 1;
        QTest::newRow("not JSON") << QByteArray("Error: nope") << 0 << 1;
        QTest::newRow("brew fails") << QByteArray() << 1 << 2;
    }

    void unusableOutputThrowsAndEmptiesTheList()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, exitCode);
        QFETCH(int, kind);
        BrewTestWorld world;
        const QString app = installAcme(world);
        answerOutdated(world, QByteArray(R"({"casks":[)") + outdatedEntry("acme", "1.0", "2.0") + "]}");
        world.service->loadOutdatedCasks();
        QVERIFY(world.service->checkUpdate(app, QStringLiteral("1.0")));

        world.tool.clearResponses();
        answerOutdated(world, output, exitCode);
        LogCapture log;
        QString description;
        try {
            world.service->loadOutdatedCasks();
            QFAIL("no error");
        } catch (const NorvelleError& e) {
            QCOMPARE(kind == 0 ? NorvelleError::Case::failedToParseBrewOutput
                               : NorvelleError::Case::brewCommandFailed,
                     e.errorCase());
            QVERIFY(kind != 1);
            description = e.description();
        } catch (const JsonError& e) {
            QCOMPARE(kind, 1);
            description = e.description();
        }
        QCOMPARE(log.contains(Level::warning, QStringLiteral("Failed to parse outdated casks JSON")),
                 kind == 0);
        QVERIFY(
            log.contains(Level::warning, QStringLiteral("Failed to load outdated casks: ") + description));
        QVERIFY(!world.service->checkUpdate(app, QStringLiteral("1.0")));
    }

    void checkUpdateComparesVersionsNumerically_data()
    {
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("offered");
        QTest::newRow("1.10 after 1.9") << QStringLiteral("1.10") << QStringLiteral("1.9") << true;
        QTest::newRow("2.0 before 10.0") << QStringLiteral("2.0") << QStringLiteral("10.0") << false;
        QTest::newRow("equal") << QStringLiteral("1.0") << QStringLiteral("1.0") << false;
        QTest::newRow("1.0.1 after 1.0") << QStringLiteral("1.0.1") << QStringLiteral("1.0") << true;
        QTest::newRow("latest after 3.2") << QStringLiteral("latest") << QStringLiteral("3.2") << true;
        QTest::newRow("no split at the comma")
            << QStringLiteral("1.2,100") << QStringLiteral("1.2,99") << true;
    }

    void checkUpdateComparesVersionsNumerically()
    {
        QFETCH(QString, latest);
        QFETCH(QString, current);
        QFETCH(bool, offered);
        BrewTestWorld world;
        const QString app = installAcme(world);
        answerOutdated(world,
                       QByteArray(R"({"casks":[)") +
                           outdatedEntry("acme", current.toUtf8().constData(), latest.toUtf8().constData()) +
                           "]}");
        world.service->loadOutdatedCasks();
        LogCapture log;
        const std::optional<Update> update = world.service->checkUpdate(app, current);
        QCOMPARE(update.has_value(), offered);
        QCOMPARE(log.contains(Level::info, QStringLiteral("Update available for acme: ") + current +
                                               QStringLiteral(" -> ") + latest),
                 offered);
        QCOMPARE(log.lines().size(), offered ? 1 : 0);
    }

    void updateMergesOutdatedAndCatalogueFacts()
    {
        BrewTestWorld world;
        const QJsonObject extra{{QStringLiteral("homepage"), QStringLiteral("https://acme.example/")},
                                {QStringLiteral("caveats"), QStringLiteral("Needs the administrator")},
                                {QStringLiteral("deprecated"), true}};
        const QString app = installAcme(world, extra);
        answerOutdated(world, R"({"casks":[{"name":"acme","installed_versions":["1.0","0.5"],)"
                              R"("current_version":"2.0","desc":"From brew","homepage":5}]})");
        world.service->loadOutdatedCasks();

        // The letter case of the path does not matter.
        const std::optional<Update> update = world.service->checkUpdate(app.toUpper(), QStringLiteral("1.0"));
        QVERIFY(update);
        QCOMPARE(update->source, Update::Source::homebrew);
        QCOMPARE(update->status, Update::Status::available);
        QVERIFY(!update->releaseNotes && !update->releaseDate && !update->mas && !update->sparkleInfo);
        const Cask& cask = *update->cask;
        QCOMPARE(cask.caskName, QStringLiteral("acme"));
        QCOMPARE(cask.currentVersion, QStringLiteral("1.0"));
        QCOMPARE(cask.latestVersion, QStringLiteral("2.0"));
        QCOMPARE(cask.description, std::optional<QString>(QStringLiteral("From brew"))); // catalogue has none
        QCOMPARE(cask.homepage, std::optional<QUrl>(QUrl(QStringLiteral("https://acme.example/"))));
        QCOMPARE(cask.warnings, QStringList{QStringLiteral("Needs the administrator")});
        QVERIFY(cask.requiresSudo);
        QCOMPARE(cask.artifacts, QStringList{QStringLiteral("Acme.app")});
        QVERIFY(cask.adopted && !cask.adoptable && !cask.deprecated && !cask.disabled);
    }

    // The service's lock is never held while brew runs: lookups answer during a slow run.
    void lookupsAnswerWhileBrewRuns()
    {
        BrewTestWorld world;
        const QString app = installAcme(world);
        world.tool.respond(QStringLiteral("brew"), kOutdatedArguments,
                           FakeTool::Response().withDelay(3.0).withStandardOutput(R"({"casks":[]})"));
        std::future<void> run = std::async(std::launch::async, [&] { world.service->loadOutdatedCasks(); });
        QTRY_COMPARE(world.tool.calls(QStringLiteral("brew")).size(), 2);
        QVERIFY(world.service->hasCask(app));
        QVERIFY(world.service->caskInfo(app));
        QVERIFY(!world.service->findAdoptableCask(QStringLiteral("Other"), QStringLiteral("/x/Other.app")));
        QVERIFY(!world.service->matchCaskByTrash(QStringLiteral("/x/Other.app"), QStringLiteral("com.x")));
        QCOMPARE(run.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        run.get();
    }

    void lookupsWithoutAMapping()
    {
        BrewTestWorld world;
        const QString app = installAcme(world);
        LogCapture log;
        const QString unknown = world.paths.applicationsFolder + QStringLiteral("/Other.app");
        QVERIFY(!world.service->hasCask(unknown));
        QVERIFY(!world.service->caskInfo(unknown));
        QVERIFY(log.contains(Level::debug, QStringLiteral("No cask mapping found for path: ") + unknown));
        QVERIFY(world.service->hasCask(app.toLower()));
        QCOMPARE(world.service->caskInfo(app.toLower())->caskName, QStringLiteral("acme"));
        // Not outdated: no update and no log line.
        log.clear();
        QVERIFY(!world.service->checkUpdate(app, QStringLiteral("1.0")));
        QVERIFY(log.lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBrewOutdated)
#include "tst_brewoutdated.moc"
