#include "BrewTestWorld.h"
#include "ErrorCaseOf.h"
#include "LogCapture.h"
#include "model/NorvelleError.h"
#include "platform/process/ProcessLaunchError.h"
#include "util/Error.h"
#include "util/JsonError.h"

#include <QtTest>

using namespace norvelle;
using namespace norvelle::test;
using Level = Logger::Level;

namespace {

QStringList infoArguments(const QString& fullName)
{
    return {QStringLiteral("info"), QStringLiteral("--json=v2"), QStringLiteral("--cask"), fullName};
}

QStringList upgradeArguments(const QString& token)
{
    return {QStringLiteral("upgrade"), QStringLiteral("--cask"), token, QStringLiteral("--verbose")};
}

QStringList adoptArguments(const QString& token)
{
    return {QStringLiteral("install"), QStringLiteral("--cask"), QStringLiteral("--adopt"), token};
}

// A world whose catalogue has been fetched once, with "acme" installed for Acme.app.
QString loadedWorld(BrewTestWorld& world, const QJsonArray& extraCasks = {})
{
    return world.installAcme(QStringLiteral("1"), {}, extraCasks);
}

using Lines = QList<QPair<QString, double>>;

} // namespace

class TestBrewInstall : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void upgradeStreamsLinesAndDropsTheCatalogue()
    {
        BrewTestWorld world;
        loadedWorld(world);
        world.tool.respond(QStringLiteral("brew"), upgradeArguments(QStringLiteral("acme")),
                           FakeTool::Response()
                               .withLine("==> Downloading https://x/acme.dmg\n")
                               .withLine("Warning: slow\r\n", true)
                               .withLine("==> Installing Cask acme\n")
                               .withLine("acme was successfully upgraded!"));
        Lines seen;
        LogCapture log;
        const QString acme = world.paths.applicationsFolder + QStringLiteral("/Acme.app");
        bool answeredDuringRun = true;
        // The handler may ask the service again: no lock is held while brew runs.
        const QStringList lines =
            world.service->upgradeCask(QStringLiteral("acme"), [&](const QString& line, double fraction) {
                seen.append({line, fraction});
                answeredDuringRun = answeredDuringRun && world.service->hasCask(acme);
            });
        QVERIFY(answeredDuringRun);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(seen.size(), 4);
        for (qsizetype i = 0; i < seen.size(); ++i)
            QCOMPARE(seen.at(i).first, lines.at(i));
        QVERIFY(lines.contains(QStringLiteral("Warning: slow")));
        QCOMPARE(seen.last(),
                 (QPair<QString, double>(QStringLiteral("acme was successfully upgraded!"), 1.0)));
        QVERIFY(log.contains(Level::info, QStringLiteral("Updated cask: acme")));
        const FakeTool::Call call = world.tool.calls(QStringLiteral("brew")).last();
        QCOMPARE(call.environment.value(QStringLiteral("HOMEBREW_NO_AUTO_UPDATE")), QStringLiteral("1"));

        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 2);
    }

    void silentUpgradeLeavesTheOutdatedEntryUntilTheNextCheck()
    {
        BrewTestWorld world;
        const QString app = loadedWorld(world);
        world.tool.respond(
            QStringLiteral("brew"),
            {QStringLiteral("outdated"), QStringLiteral("--cask"), QStringLiteral("--greedy"),
             QStringLiteral("--json=v2")},
            FakeTool::Response().withStandardOutput(
                R"({"casks":[{"name":"acme","installed_versions":["1"],"current_version":"2"}]})"));
        world.service->loadOutdatedCasks();
        world.tool.respond(QStringLiteral("brew"), upgradeArguments(QStringLiteral("acme")),
                           FakeTool::Response());
        LogCapture log;
        bool called = false;
        const QStringList lines = world.service->upgradeCask(QStringLiteral("acme"),
                                                             [&](const QString&, double) { called = true; });
        QVERIFY(lines.isEmpty());
        QVERIFY(!called);
        QVERIFY(log.contains(Level::info, QStringLiteral("Updated cask: acme")));
        QVERIFY(world.service->checkUpdate(app, QStringLiteral("1")));
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 2);
    }

    void failedUpgradeKeepsTheCatalogue()
    {
        BrewTestWorld world;
        loadedWorld(world);
        world.tool.respond(QStringLiteral("brew"), upgradeArguments(QStringLiteral("acme")),
                           FakeTool::Response().withLine("==> Downloading x\n").withExitCode(1));
        Lines seen;
        QVERIFY_THROWS_EXCEPTION(NorvelleError, world.service->upgradeCask(QStringLiteral("acme"),
                                                                           [&](const QString& l, double f) {
                                                                               seen.append({l, f});
                                                                           }));
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().second, 0.3);
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 1);
    }

    void invalidTokensNeverReachBrew_data()
    {
        QTest::addColumn<bool>("adopt");
        QTest::addColumn<QString>("token");
        QTest::newRow("upgrade an option") << false << QStringLiteral("--force");
        QTest::newRow("upgrade a path") << false << QStringLiteral("../acme");
        QTest::newRow("upgrade two words") << false << QStringLiteral("acme --verbose");
        QTest::newRow("adopt an option") << true << QStringLiteral("-rf");
        QTest::newRow("adopt upper case") << true << QStringLiteral("Acme");
    }
    void invalidTokensNeverReachBrew()
    {
        QFETCH(bool, adopt);
        QFETCH(QString, token);
        BrewTestWorld world;
        LogCapture log;
        const auto run = [&] {
            if (adopt)
                world.service->adoptCask(token, {});
            else
                world.service->upgradeCask(token, {});
        };
        QVERIFY_THROWS_EXCEPTION(Error, run());
        QVERIFY(world.tool.calls(QStringLiteral("brew")).isEmpty());
        QVERIFY(log.contains(Level::error, QStringLiteral("Invalid cask token: ") + token));
    }

    void withoutBrewNothingRuns()
    {
        BrewTestWorld world(false);
        LogCapture log;
        bool called = false;
        auto handler = [&](const QString&, double) { called = true; };
        const auto notInstalled = std::optional(NorvelleError::Case::brewNotInstalled);
        QCOMPARE(errorCaseOf([&] { world.service->upgradeCask(QStringLiteral("acme"), handler); }),
                 notInstalled);
        QCOMPARE(errorCaseOf([&] { world.service->adoptCask(QStringLiteral("acme"), handler); }),
                 notInstalled);
        QCOMPARE(errorCaseOf([&] {
                     world.service->verifyCustomCask(QStringLiteral("acme"), {}, QStringLiteral("/A.app"));
                 }),
                 notInstalled);
        QVERIFY(!called);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.contains(Level::info, QStringLiteral("Adopting cask: acme")));
    }

    void adoptionSearchAndRun()
    {
        BrewTestWorld world;
        const QJsonObject deprecated{{QStringLiteral("deprecated"), true}};
        const QString acme = loadedWorld(
            world, QJsonArray{BrewTestWorld::entry(QStringLiteral("writer@beta"), QStringLiteral("2"),
                                                   {QStringLiteral("Writer.app")}),
                              BrewTestWorld::entry(QStringLiteral("writer"), QStringLiteral("1"),
                                                   {QStringLiteral("Writer.app")}),
                              BrewTestWorld::entry(QStringLiteral("acme-beta"), QStringLiteral("1"),
                                                   {QStringLiteral("Acme.app")}),
                              BrewTestWorld::entry(QStringLiteral("old-tool"), QStringLiteral("1"),
                                                   {QStringLiteral("Tool.app")}, deprecated)});
        LogCapture log;
        // A mapped path gets nothing, even though "acme-beta" has its artifact.
        QVERIFY(!world.service->findAdoptableCask(QStringLiteral("Acme"), acme));

        const std::optional<Cask> writer = world.service->findAdoptableCask(
            QStringLiteral("Writer"), QStringLiteral("/Applications/Writer.app"));
        QVERIFY(writer);
        QCOMPARE(writer->caskName, QStringLiteral("writer"));
        QVERIFY(writer->adoptable && !writer->adopted);
        QVERIFY(log.contains(
            Level::info,
            QStringLiteral(
                "Found adoptable cask 'writer' for app 'Writer' via exact artifact (priority: 1200)")));

        QVERIFY(world.service->findAdoptableCask(QStringLiteral("Tool"),
                                                 QStringLiteral("/Applications/Tool.app")));
        QVERIFY(log.contains(Level::info,
                             QStringLiteral("Found adoptable cask 'old-tool' for app 'Tool' via exact "
                                            "artifact (priority: -3800) [DEPRECATED]")));
        // The installed "acme" is never offered; the other cask with its artifact is.
        const std::optional<Cask> other =
            world.service->findAdoptableCask(QStringLiteral("acme"), QStringLiteral("/Other/acme.app"));
        QVERIFY(other);
        QCOMPARE(other->caskName, QStringLiteral("acme-beta"));

        world.tool.respond(
            QStringLiteral("brew"), adoptArguments(QStringLiteral("writer")),
            FakeTool::Response().withLine("==> Adopting Writer.app\n").withLine("==> Moving App\n"));
        Lines seen;
        world.service->adoptCask(QStringLiteral("writer"), [&](const QString& l, double f) {
            seen.append({l, f});
        });
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.at(1), (QPair<QString, double>(QStringLiteral("==> Moving App"), 0.9)));
        QVERIFY(log.contains(Level::info, QStringLiteral("Adopting cask: writer")));
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 2);

        // A failed adoption keeps the catalogue.
        world.tool.respond(QStringLiteral("brew"), adoptArguments(QStringLiteral("old-tool")),
                           FakeTool::Response().withExitCode(1));
        QVERIFY_THROWS_EXCEPTION(NorvelleError, world.service->adoptCask(QStringLiteral("old-tool"), {}));
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 2);
    }

    void verifyCustomCaskWithTap()
    {
        BrewTestWorld world;
        const QString acme = loadedWorld(world);
        world.tool.respond(QStringLiteral("brew"), {QStringLiteral("tap"), QStringLiteral("owner/repo")},
                           FakeTool::Response());
        world.tool.respond(QStringLiteral("brew"), infoArguments(QStringLiteral("owner/repo/tool")),
                           FakeTool::Response().withStandardOutput(
                               R"({"formulae":[],"casks":[{"token":"tool","version":"3.0","installed":null,)"
                               R"("desc":"A tool","artifacts":[{"pkg":["t.pkg"]}]}]})"));
        LogCapture log;
        const Cask cask =
            world.service->verifyCustomCask(QStringLiteral("tool"), QStringLiteral("  owner/repo "),
                                            world.paths.applicationsFolder + QStringLiteral("/Tool.app"));
        QCOMPARE(cask.caskName, QStringLiteral("tool"));
        QCOMPARE(cask.latestVersion, QStringLiteral("3.0"));
        QVERIFY(cask.adoptable && !cask.adopted && cask.requiresSudo);
        QVERIFY(log.contains(Level::info, QStringLiteral("Fetching cask info for: tool")));
        const QList<FakeTool::Call> calls = world.tool.calls(QStringLiteral("brew"));
        QCOMPARE(calls.at(calls.size() - 2).arguments,
                 (QStringList{QStringLiteral("tap"), QStringLiteral("owner/repo")}));
        QCOMPARE(calls.last().arguments, infoArguments(QStringLiteral("owner/repo/tool")));

        // The same path in another letter case is no conflict.
        world.tool.respond(
            QStringLiteral("brew"), infoArguments(QStringLiteral("acme")),
            FakeTool::Response().withStandardOutput(R"({"casks":[{"token":"acme","version":"1"}]})"));
        QCOMPARE(world.service->verifyCustomCask(QStringLiteral("acme"), {}, acme.toUpper()).caskName,
                 QStringLiteral("acme"));
    }

    void verifyCustomCaskRefusals_data()
    {
        QTest::addColumn<QString>("caskName");
        QTest::addColumn<QVariant>("tap"); // invalid: no tap
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("brewRuns");

        const QByteArray ok = R"({"casks":[{"token":"tool","version":"1"}]})";
        const QString parse = QStringLiteral("Failed to parse cask info");
        QTest::newRow("already installed")
            << QStringLiteral("tool") << QVariant()
            << QByteArray(R"({"casks":[{"token":"tool","version":"1","installed":"1"}]})")
            << QStringLiteral("Cask 'tool' is already installed") << 1;
        QTest::newRow("no casks") << QStringLiteral("tool") << QVariant() << QByteArray(R"({"formulae":[]})")
                                  << parse << 1;
        QTest::newRow("empty casks") << QStringLiteral("tool") << QVariant() << QByteArray(R"({"casks":[]})")
                                     << parse << 1;
        QTest::newRow("casks with a string")
            << QStringLiteral("tool") << QVariant() << QByteArray(R"({"casks":["x"]})") << parse << 1;
        QTest::newRow("top-level array")
            << QStringLiteral("tool") << QVariant() << QByteArray("[]") << parse << 1;
        QTest::newRow("no version") << QStringLiteral("tool") << QVariant()
                                    << QByteArray(R"({"casks":[{"token":"tool"}]})") << parse << 1;
        QTest::newRow("tap fails") << QStringLiteral("tool") << QVariant(QStringLiteral("bad/tap")) << ok
                                   << QStringLiteral("Failed to add tap: ") +
                                          NorvelleError::brewCommandFailed().description()
                                   << 1;
        // Brew's own reason is what the user is shown, not that the command failed.
        QTest::newRow("tap fails, brew says why")
            << QStringLiteral("tool") << QVariant(QStringLiteral("gone/tap")) << ok
            << QStringLiteral("Failed to add tap: fatal: repository 'gone/tap' not found") << 1;
        QTest::newRow("unknown cask") << QStringLiteral("nosuch") << QVariant() << ok
                                      << QStringLiteral("No available cask with the name \"nosuch\".") << 1;
        // Typed text never reaches brew when it could pass for an option or a second argument.
        QTest::newRow("empty name") << QString() << QVariant() << ok << QStringLiteral("Invalid cask name: ")
                                    << 0;
        QTest::newRow("option as name") << QStringLiteral("--force") << QVariant() << ok
                                        << QStringLiteral("Invalid cask name: --force") << 0;
        QTest::newRow("space in name")
            << QStringLiteral("a b") << QVariant() << ok << QStringLiteral("Invalid cask name: a b") << 0;
        QTest::newRow("tab in name") << QStringLiteral("a\tb") << QVariant() << ok
                                     << QStringLiteral("Invalid cask name: a\tb") << 0;
        QTest::newRow("control character")
            << QStringLiteral("a\x01") << QVariant() << ok << QStringLiteral("Invalid cask name: a\x01") << 0;
        QTest::newRow("blank tap") << QStringLiteral("tool") << QVariant(QStringLiteral("   ")) << ok
                                   << QStringLiteral("Invalid tap name:    ") << 0;
        QTest::newRow("option in tap")
            << QStringLiteral("tool") << QVariant(QStringLiteral("owner/repo --force")) << ok
            << QStringLiteral("Invalid tap name: owner/repo --force") << 0;
        QTest::newRow("newline in tap") << QStringLiteral("tool") << QVariant(QStringLiteral("owner/repo\nx"))
                                        << ok << QStringLiteral("Invalid tap name: owner/repo\nx") << 0;
    }

    void verifyCustomCaskRefusals()
    {
        QFETCH(QString, caskName);
        QFETCH(QVariant, tap);
        QFETCH(QByteArray, info);
        QFETCH(QString, logged);
        QFETCH(int, brewRuns);
        BrewTestWorld world;
        world.tool.respond(QStringLiteral("brew"), {QStringLiteral("tap"), QStringLiteral("bad/tap")},
                           FakeTool::Response().withExitCode(1));
        world.tool.respond(
            QStringLiteral("brew"), {QStringLiteral("tap"), QStringLiteral("gone/tap")},
            FakeTool::Response()
                .withStandardError("Cloning into 'homebrew-tap'...\nfatal: repository 'gone/tap' not found\n")
                .withExitCode(1));
        world.tool.respond(QStringLiteral("brew"), infoArguments(QStringLiteral("nosuch")),
                           FakeTool::Response()
                               .withStandardError("Warning: stale API data\n"
                                                  "Error: No available cask with the name \"nosuch\".\n")
                               .withExitCode(1));
        world.tool.respond(QStringLiteral("brew"), infoArguments(caskName),
                           FakeTool::Response().withStandardOutput(info));
        const std::optional<QString> tapName =
            tap.isValid() ? std::optional<QString>(tap.toString()) : std::nullopt;
        LogCapture log;
        std::optional<NorvelleError> refusal;
        try {
            world.service->verifyCustomCask(caskName, tapName, QStringLiteral("/Applications/Tool.app"));
        } catch (const NorvelleError& e) {
            refusal = e;
        }
        QVERIFY(refusal);
        QCOMPARE(refusal->errorCase(), NorvelleError::Case::failedToParseBrewOutput);
        QVERIFY2(log.contains(Level::error, logged), qPrintable(logged));
        // A refusal with a reason of its own says it to the user; only a reply that cannot be
        // read blames the data format.
        QCOMPARE(refusal->description(),
                 logged == QLatin1String("Failed to parse cask info")
                     ? QStringLiteral("Failed to parse Homebrew output - the data format is invalid")
                     : logged);
        QCOMPARE(world.tool.calls(QStringLiteral("brew")).size(), brewRuns);
    }

    void verifyCustomCaskPassesInfoErrorsOn()
    {
        BrewTestWorld world;
        world.tool.respond(QStringLiteral("brew"), infoArguments(QStringLiteral("nosuch")),
                           FakeTool::Response().withExitCode(1));
        world.tool.respond(QStringLiteral("brew"), infoArguments(QStringLiteral("garbled")),
                           FakeTool::Response().withStandardOutput("==> garbled"));
        QCOMPARE(errorCaseOf([&] {
                     world.service->verifyCustomCask(QStringLiteral("nosuch"), {},
                                                     QStringLiteral("/Applications/A.app"));
                 }),
                 NorvelleError::Case::brewCommandFailed);
        QVERIFY_THROWS_EXCEPTION(JsonError,
                                 world.service->verifyCustomCask(QStringLiteral("garbled"), {},
                                                                 QStringLiteral("/Applications/A.app")));
    }
};

QTEST_GUILESS_MAIN(TestBrewInstall)
#include "tst_brewinstall.moc"
