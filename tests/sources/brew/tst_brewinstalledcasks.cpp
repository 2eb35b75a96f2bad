#include "BrewTestWorld.h"
#include "LogCapture.h"
#include "model/NorvelleError.h"
#include "platform/process/ProcessGroups.h"
#include "sources/brew/CatalogueError.h"

#include <QtTest>
#include <future>

using namespace norvelle;
using namespace norvelle::test;
using Level = Logger::Level;

class TestBrewInstalledCasks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void brewMissingEmptiesTheMapsWithoutRunningAnything()
    {
        BrewTestWorld world(false);
        LogCapture log;
        world.service->loadInstalledCasks();
        QVERIFY(log.contains(Level::info, QStringLiteral("Homebrew not installed - skipping cask loading")));
        QVERIFY(world.tool.calls().isEmpty());
        QCOMPARE(world.catalogueRequests(), 0);
    }

    // The catalogue downloads while `brew list --cask` runs; a listing that fails or names no cask
    // drops it unread.
    void catalogueIsUsedOnlyAfterAListingThatNamesCasks_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("sentEarly"); // by startCatalogueDownload, before the load
        QTest::newRow("casks listed") << QByteArray("alpha\n") << 0 << true << false;
        QTest::newRow("no cask listed") << QByteArray("\n\r\n") << 0 << false << false;
        QTest::newRow("listing fails") << QByteArray() << 1 << false << false;
        QTest::newRow("casks listed, sent early") << QByteArray("alpha\n") << 0 << true << true;
        QTest::newRow("no cask listed, sent early") << QByteArray("\n\r\n") << 0 << false << true;
        QTest::newRow("listing fails, sent early") << QByteArray() << 1 << false << true;
    }

    void catalogueIsUsedOnlyAfterAListingThatNamesCasks()
    {
        QFETCH(QByteArray, listing);
        QFETCH(int, exitCode);
        QFETCH(bool, used);
        QFETCH(bool, sentEarly);
        BrewTestWorld world;
        world.serveCatalogue(QJsonArray{
            BrewTestWorld::entry(QStringLiteral("beta"), QStringLiteral("1"), {QStringLiteral("Beta.app")})});
        world.tool.respond(
            QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
            FakeTool::Response().withStandardOutput(listing).withExitCode(exitCode).withDelay(2.0));
        LogCapture log;
        if (sentEarly) {
            world.service->startCatalogueDownload();
            QTRY_COMPARE_WITH_TIMEOUT(world.catalogueRequests(), 1, 1500);
            QVERIFY(world.tool.calls().isEmpty());
        }
        std::future<void> load = std::async(std::launch::async, [&] { world.service->loadInstalledCasks(); });
        QTRY_COMPARE_WITH_TIMEOUT(world.catalogueRequests(), 1, 1500);
        QCOMPARE(load.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        if (exitCode != 0)
            QVERIFY_THROWS_EXCEPTION(NorvelleError, load.get());
        else
            load.get();
        QCOMPARE(log.containsPrefix(Level::info, QStringLiteral("Brew API fetch: ")), used);
        // Said only when the catalogue is fetched, though the request went out earlier.
        QCOMPARE(log.contains(Level::info, QStringLiteral("Fetching fresh Homebrew API data")), used);
        QCOMPARE(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app"))
                     .has_value(),
                 used);
        QCOMPARE(log.containsPrefix(Level::debug, QStringLiteral("Failed to map casks: ")), used);
        const QList<FakeTool::Call> calls = world.tool.calls(QStringLiteral("brew"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().arguments, (QStringList{QStringLiteral("list"), QStringLiteral("--cask")}));
        QCOMPARE(world.catalogueRequests(), 1); // the load took the early request over
    }

    void receiptsTieApplicationsToCasks()
    {
        BrewTestWorld world;
        const QString alpha = world.addApplication(QStringLiteral("Alpha.app"));
        const QString beta = world.addApplication(QStringLiteral("Beta.app"));
        const QString shared = world.addApplication(QStringLiteral("Shared.app"));
        const QString elsewhere = world.root.path() + QStringLiteral("/Elsewhere/Gamma.app");
        QDir().mkpath(elsewhere);

        // alpha: only under /usr/local. beta: /opt/homebrew wins over /usr/local.
        world.writeReceipt(BrewTestWorld::usrLocal, QStringLiteral("alpha"), {QStringLiteral("Alpha.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("beta"), {QStringLiteral("Beta.app")});
        world.writeReceipt(BrewTestWorld::usrLocal, QStringLiteral("beta"), {QStringLiteral("Alpha.app")});
        // gamma: an absolute path; an /opt/homebrew receipt without uninstall artifacts is skipped.
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("gamma"),
                           QByteArray(R"({"artifacts":[]})"));
        world.writeReceipt(BrewTestWorld::usrLocal, QStringLiteral("gamma"), {elsewhere});
        // one and two both name Shared.app: the later token owns it.
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("one"), {QStringLiteral("Shared.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("two"), {QStringLiteral("Shared.app")});
        // ghost: its bundle does not exist and its trash has too few dots; broken: not JSON.
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("ghost"), {QStringLiteral("Ghost.app")},
                           QJsonArray{QStringLiteral("~/Library/Ghost"), QStringLiteral("~/x.plist")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("broken"), QByteArray("{not json"));

        world.listCasks("alpha\r\nbeta\ngamma\none\ntwo\nghost\nbroken\nmissing\n");
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("unrelated"))});
        LogCapture log;
        world.service->loadInstalledCasks();

        QVERIFY(log.contains(Level::debug, QStringLiteral("Found 8 installed casks")));
        QVERIFY(log.contains(Level::debug, QStringLiteral("No uninstall_artifacts found for gamma")));
        QVERIFY(log.contains(Level::debug, QStringLiteral("Failed to parse receipt for broken")));
        QVERIFY(
            log.contains(Level::debug, QStringLiteral("Successfully mapped casks: alpha, beta, gamma, two")));
        QVERIFY(
            log.contains(Level::debug, QStringLiteral("Failed to map casks: broken, ghost, missing, one")));
        QVERIFY(world.service->hasCask(alpha));
        QVERIFY(world.service->hasCask(beta));
        QVERIFY(world.service->hasCask(elsewhere));
        QVERIFY(world.service->hasCask(shared));
        QCOMPARE(world.catalogueRequests(), 1);

        // The later token owns the shared bundle; adoption of a mapped path is never offered.
        world.tool.respond(
            QStringLiteral("brew"),
            {QStringLiteral("info"), QStringLiteral("--json=v2"), QStringLiteral("--cask"),
             QStringLiteral("one")},
            FakeTool::Response().withStandardOutput(R"({"casks":[{"token":"one","version":"1"}]})"));
        const QString conflict = QStringLiteral("Cask 'two' is already managing another app at: ") + shared;
        try {
            world.service->verifyCustomCask(QStringLiteral("two"), {}, alpha);
            QFAIL("a cask in use by another application was verified");
        } catch (const NorvelleError& e) {
            QCOMPARE(e.description(), conflict); // the reason, not a parse failure
        }
        QVERIFY(log.contains(Level::error, conflict));
    }

    // A line that is not UTF-8 costs that line only, not every installed cask.
    void invalidListLineCostsOnlyItself()
    {
        BrewTestWorld world;
        const QString alpha = world.addApplication(QStringLiteral("Alpha.app"));
        const QString beta = world.addApplication(QStringLiteral("Beta.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("alpha"), {QStringLiteral("Alpha.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("beta"), {QStringLiteral("Beta.app")});
        world.listCasks("alpha\ncaf\xe9\nbeta\n");
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("unrelated"))});
        LogCapture log;
        world.service->loadInstalledCasks();
        QVERIFY(world.service->hasCask(alpha));
        QVERIFY(world.service->hasCask(beta));
        QVERIFY(log.contains(Level::warning,
                             QStringLiteral("Skipped 1 lines of brew list --cask output that are not valid UTF-8")));
        QVERIFY(log.contains(Level::debug, QStringLiteral("Found 2 installed casks")));
    }

    void lookupsIgnoreLetterCase_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("token");
        QTest::newRow("exact") << QStringLiteral("Alpha.app") << QStringLiteral("alpha");
        QTest::newRow("exact, the other spelling") << QStringLiteral("ALPHA.app") << QStringLiteral("upper");
        QTest::newRow("folded: first in path order") << QStringLiteral("alpha.APP") << QStringLiteral("upper");
        QTest::newRow("folded, alone") << QStringLiteral("bETA.app") << QStringLiteral("beta");
        QTest::newRow("unknown") << QStringLiteral("Gamma.app") << QString();
    }
    void lookupsIgnoreLetterCase()
    {
        QFETCH(QString, asked);
        QFETCH(QString, token);
        BrewTestWorld world;
        world.addApplication(QStringLiteral("Alpha.app"));
        world.addApplication(QStringLiteral("ALPHA.app"));
        world.addApplication(QStringLiteral("Beta.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("alpha"), {QStringLiteral("Alpha.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("upper"), {QStringLiteral("ALPHA.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("beta"), {QStringLiteral("Beta.app")});
        world.listCasks("alpha\nupper\nbeta\n");
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("unrelated"))});
        world.service->loadInstalledCasks();

        const QString path = world.paths.applicationsFolder + u'/' + asked;
        QCOMPARE(world.service->hasCask(path), !token.isEmpty());
        LogCapture log;
        // The catalogue lacks them all: the cask is known by its token alone.
        QCOMPARE(world.service->caskInfo(path).value_or(Cask()).caskName, token);
        if (!token.isEmpty())
            QVERIFY(log.contains(Level::warning, QStringLiteral("No metadata found for cask: ") + token));
    }

    void trashStringsTieCasksWithoutApplications_data()
    {
        QTest::addColumn<QJsonValue>("trash");
        QTest::addColumn<QString>("bundleIdentifier");
        QTest::addColumn<bool>("matched");
        const QString prefs = QStringLiteral("~/Library/Preferences/com.acme.Writer.plist");
        QTest::newRow("single string") << QJsonValue(prefs) << QStringLiteral("com.acme.Writer") << true;
        QTest::newRow("array of strings") << QJsonValue(QJsonArray{QStringLiteral("~/a"), prefs})
                                          << QStringLiteral("com.acme.Writer") << true;
        QTest::newRow("case differs") << QJsonValue(prefs) << QStringLiteral("com.acme.writer") << false;
        QTest::newRow("empty identifier") << QJsonValue(prefs) << QString() << false;
        QTest::newRow("array with a number contributes nothing")
            << QJsonValue(QJsonArray{prefs, 5}) << QStringLiteral("com.acme.Writer") << false;
        QTest::newRow("one dot is not enough")
            << QJsonValue(QStringLiteral("~/Library/Writer.plist")) << QStringLiteral("Writer") << false;
    }

    void trashStringsTieCasksWithoutApplications()
    {
        QFETCH(QJsonValue, trash);
        QFETCH(QString, bundleIdentifier);
        QFETCH(bool, matched);
        BrewTestWorld world;
        // The receipt names an app that exists too for "withapp": its trash is then never used.
        world.addApplication(QStringLiteral("Other.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("writer"),
                           {QStringLiteral("Writer.app")}, trash);
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("withapp"),
                           {QStringLiteral("Other.app")}, trash);
        world.listCasks("writer\nwithapp\n");
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("writer"))});
        world.service->loadInstalledCasks();

        const QString path = world.paths.applicationsFolder + QStringLiteral("/Writer.app");
        QCOMPARE(world.service->matchCaskByTrash(path, bundleIdentifier), matched);
        QCOMPARE(world.service->hasCask(path), matched);
        if (matched)
            QCOMPARE(world.service->caskInfo(path)->caskName, QStringLiteral("writer"));
    }

    // Every load starts the installed-cask maps afresh; the catalogue outlives them.
    void everyLoadStartsTheInstalledMapsAfresh()
    {
        BrewTestWorld world;
        const QString other = world.addApplication(QStringLiteral("Other.app"));
        const QString gone = world.paths.applicationsFolder + QStringLiteral("/Gone.app");
        // "withapp" has its bundle, so its trash never counts; "gone" has nothing but trash.
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("withapp"),
                           {QStringLiteral("Other.app")},
                           QJsonValue(QStringLiteral("~/Library/Preferences/com.acme.Other.plist")));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("gone"), {QStringLiteral("Gone.app")},
                           QJsonValue(QStringLiteral("~/Library/Preferences/com.acme.Gone.plist")));
        // Lines are not trimmed: " spaced " is a token of its own, without a receipt.
        world.listCasks("withapp\ngone\n spaced \n");
        world.serveCatalogue(QJsonArray{
            BrewTestWorld::entry(QStringLiteral("withapp")),
            BrewTestWorld::entry(QStringLiteral("beta"), QStringLiteral("1"), {QStringLiteral("Beta.app")})});
        LogCapture log;
        world.service->loadInstalledCasks();
        QVERIFY(log.contains(Level::debug, QStringLiteral("Found 3 installed casks")));
        QVERIFY(log.contains(Level::debug, QStringLiteral("Successfully mapped casks: withapp")));
        QVERIFY(log.contains(Level::debug, QStringLiteral("Failed to map casks:  spaced ")));
        QVERIFY(!world.service->matchCaskByTrash(gone, QStringLiteral("com.acme.Other")));
        QVERIFY(world.service->matchCaskByTrash(gone, QStringLiteral("com.acme.Gone")));
        QVERIFY(world.service->hasCask(gone));

        // Nothing installed any more: the maps empty, the catalogue stays and is not asked again.
        world.tool.clearResponses();
        world.listCasks("");
        world.service->loadInstalledCasks();
        QVERIFY(!world.service->hasCask(other));
        QVERIFY(!world.service->hasCask(gone));
        QVERIFY(!world.service->matchCaskByTrash(gone, QStringLiteral("com.acme.Gone")));
        QVERIFY(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app")));
        QCOMPARE(world.catalogueRequests(), 1);

        // Homebrew gone after a load: the maps empty without running anything.
        world.tool.clearResponses();
        world.listCasks("withapp\n");
        world.service->loadInstalledCasks();
        QVERIFY(world.service->caskInfo(other));
        world.setBrewPresent(false);
        const qsizetype runs = world.tool.calls().size();
        world.service->loadInstalledCasks();
        world.setBrewPresent(true);
        QCOMPARE(world.tool.calls().size(), runs);
        QVERIFY(!world.service->hasCask(other));
        QVERIFY(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app")));
    }

    // A refresh's listing asked for before an adoption's, ending after it, must not take the
    // adopted cask's mapping away.
    void olderListingEndingLastKeepsTheNewerMaps()
    {
        BrewTestWorld world;
        const QString alpha = world.installAlpha();
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"))});
        world.tool.clearResponses();
        world.tool.respond(QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
                           FakeTool::Response().withStandardOutput("alpha\n").withDelay(2));
        std::future<void> older = std::async(std::launch::async, [&] { world.service->loadInstalledCasks(); });
        QTRY_COMPARE(world.tool.calls(QStringLiteral("brew")).size(), 1);
        const QString beta = world.addApplication(QStringLiteral("Beta.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("beta"), {QStringLiteral("Beta.app")});
        world.tool.clearResponses();
        world.listCasks("alpha\nbeta\n");
        world.service->loadInstalledCasks();
        older.get();
        QVERIFY(world.service->hasCask(alpha));
        QVERIFY(world.service->hasCask(beta));
    }

    // The service's lock is never held while the catalogue downloads.
    void lookupsAnswerWhileTheCatalogueDownloads()
    {
        BrewTestWorld world;
        const QString app = world.installAlpha();
        const QJsonArray casks{
            BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("3.1")),
            BrewTestWorld::entry(QStringLiteral("beta"), QStringLiteral("1"), {QStringLiteral("Beta.app")})};
        world.serveCatalogue(casks);
        world.service->loadInstalledCasks();
        world.clock->advance(301);
        world.server.route(QStringLiteral("/api/cask.json"),
                           FixtureServer::Reply{.body = QJsonDocument(casks).toJson(QJsonDocument::Compact),
                                                .delay = std::chrono::seconds(2)});
        std::future<void> load = std::async(std::launch::async, [&] { world.service->loadInstalledCasks(); });
        QTRY_COMPARE(world.catalogueRequests(), 2);
        QVERIFY(world.service->hasCask(app));
        QVERIFY(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app")));
        QVERIFY(!world.service->matchCaskByTrash(QStringLiteral("/x/Beta.app"), QStringLiteral("com.x")));
        QCOMPARE(load.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        load.get();
        QCOMPARE(world.service->caskInfo(app)->latestVersion, QStringLiteral("3.1"));
    }

    void listFailureKeepsEveryMap()
    {
        BrewTestWorld world;
        const QString app = world.installAlpha();
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"))});
        world.service->loadInstalledCasks();

        world.tool.clearResponses();
        world.tool.respond(QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
                           FakeTool::Response().withStandardError("Error: boom\n").withExitCode(1));
        LogCapture log;
        QVERIFY_THROWS_EXCEPTION(NorvelleError, world.service->loadInstalledCasks());
        QVERIFY(log.contains(Level::error, QStringLiteral("Error executing brew list --cask: ") +
                                               NorvelleError::brewCommandFailed().description()));
        QVERIFY(world.service->hasCask(app));
        QVERIFY(world.service->caskInfo(app));
    }

    void catalogueFillsInstalledFacts()
    {
        BrewTestWorld world;
        const QString app = world.addApplication(QStringLiteral("Alpha.app"));
        const QString other = world.addApplication(QStringLiteral("Other.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("alpha"),
                           {QStringLiteral("Alpha.app")});
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("tapped"),
                           {QStringLiteral("Other.app")});
        world.listCasks("alpha\ntapped\n");
        // The same token twice: the later entry wins. "tapped" is not in the catalogue.
        world.serveCatalogue(
            QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("1.0")), QJsonObject{},
                       QJsonObject{{QStringLiteral("version"), QStringLiteral("1")}},
                       BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("2.0"))});
        LogCapture log;
        world.service->loadInstalledCasks();
        QVERIFY(log.contains(Level::info, QStringLiteral("Fetching fresh Homebrew API data")));
        QVERIFY(log.containsPrefix(Level::info, QStringLiteral("Brew API fetch: ")));
        const std::optional<Cask> cask = world.service->caskInfo(app);
        QVERIFY(cask);
        QCOMPARE(cask->latestVersion, QStringLiteral("2.0"));
        QVERIFY(cask->adopted);
        QCOMPARE(world.service->caskInfo(other)->caskName, QStringLiteral("tapped"));
        QVERIFY(log.contains(Level::warning, QStringLiteral("No metadata found for cask: tapped")));
    }

    void catalogueIsCachedForFiveMinutes_data()
    {
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("upgradeBetween");
        QTest::addColumn<int>("requests");
        QTest::newRow("299 s") << qint64(299) << false << 1;
        QTest::newRow("300 s") << qint64(300) << false << 2;
        QTest::newRow("clock went back") << qint64(-60) << false << 1;
        QTest::newRow("upgrade between") << qint64(10) << true << 2;
    }

    void catalogueIsCachedForFiveMinutes()
    {
        QFETCH(qint64, age);
        QFETCH(bool, upgradeBetween);
        QFETCH(int, requests);
        BrewTestWorld world;
        world.listCasks("alpha\n");
        world.serveCatalogue(QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"))});
        world.answerUpgrade(QStringLiteral("alpha"));
        world.service->loadInstalledCasks();
        world.clock->advance(age);
        if (upgradeBetween)
            world.service->upgradeCask(QStringLiteral("alpha"), {});
        LogCapture log;
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), requests);
        QCOMPARE(log.contains(Level::info, QStringLiteral("Using cached Homebrew API data")), requests == 1);
    }

    // A load keeps what neither the catalogue nor the listing changed, and only that.
    void secondLoadFollowsWhatChanged_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<qint64>("age");
        QTest::addColumn<QString>("alphaVersion"); // none: not installed
        QTest::addColumn<bool>("betaInstalled");
        QTest::newRow("nothing changed") << QByteArray("alpha\n") << qint64(10) << "3.1" << false;
        QTest::newRow("beta installed since") << QByteArray("alpha\nbeta\n") << qint64(10) << "3.1" << true;
        QTest::newRow("alpha removed, beta installed")
            << QByteArray("beta\n") << qint64(10) << QString() << true;
        QTest::newRow("catalogue renewed") << QByteArray("alpha\n") << qint64(301) << "4.0" << false;
    }

    void secondLoadFollowsWhatChanged()
    {
        QFETCH(QByteArray, listing);
        QFETCH(qint64, age);
        QFETCH(QString, alphaVersion);
        QFETCH(bool, betaInstalled);
        BrewTestWorld world;
        const QString alpha = world.installAlpha();
        const QString beta = world.addApplication(QStringLiteral("Beta.app"));
        world.writeReceipt(BrewTestWorld::optHomebrew, QStringLiteral("beta"), {QStringLiteral("Beta.app")});
        const auto catalogue = [](const QString& version) {
            return QJsonArray{
                BrewTestWorld::entry(QStringLiteral("alpha"), version, {QStringLiteral("Alpha.app")}),
                BrewTestWorld::entry(QStringLiteral("beta"), QStringLiteral("1"),
                                     {QStringLiteral("Beta.app")})};
        };
        world.serveCatalogue(catalogue(QStringLiteral("3.1")));
        world.service->loadInstalledCasks();

        world.clock->advance(age);
        world.serveCatalogue(catalogue(QStringLiteral("4.0")));
        world.tool.clearResponses();
        world.listCasks(listing);
        world.service->loadInstalledCasks();
        const std::optional<Cask> alphaCask = world.service->caskInfo(alpha);
        QCOMPARE(alphaCask.has_value(), !alphaVersion.isEmpty());
        if (alphaCask) {
            QCOMPARE(alphaCask->latestVersion, alphaVersion);
            QVERIFY(alphaCask->adopted);
        }
        const std::optional<Cask> betaCask = world.service->caskInfo(beta);
        QCOMPARE(betaCask.has_value(), betaInstalled);
        if (betaCask)
            QVERIFY(betaCask->adopted);
        // A cask is offered for adoption only while it is not installed.
        QCOMPARE(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app"))
                     .has_value(),
                 !betaInstalled);
    }

    // A failed catalogue answer must not leave installed casks without their facts, nor pass
    // for a catalogue read: the last good catalogue stands in, and the load says why it had to.
    void failedAnswerFallsBackToTheStaleCatalogue_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("why"); // empty: the JSON parser's own words
        QTest::addColumn<bool>("cacheClearedFirst");
        const QString invalid = QStringLiteral("Invalid response from Homebrew API");
        const QString notCatalogue = QStringLiteral("The answer is not a cask catalogue");
        const QString parse = QStringLiteral("Failed to parse JSON from Homebrew API");
        const auto status = [](int code) {
            return QStringLiteral("The server answered with status %1").arg(code);
        };
        QTest::newRow("500") << 500 << QByteArray("[]") << invalid << status(500) << false;
        QTest::newRow("404") << 404 << QByteArray() << invalid << status(404) << false;
        QTest::newRow("304") << 304 << QByteArray() << invalid << status(304) << false;
        QTest::newRow("object, not array") << 200 << QByteArray("{}") << parse << notCatalogue << false;
        QTest::newRow("array of strings") << 200 << QByteArray(R"(["a"])") << parse << notCatalogue << false;
        QTest::newRow("empty array") << 200 << QByteArray("[]") << parse << notCatalogue << false;
        QTest::newRow("no cask with a token")
            << 200 << QByteArray(R"([{},{"version":"1"},{"token":"x"}])") << parse << notCatalogue << false;
        QTest::newRow("null") << 200 << QByteArray("null") << parse << notCatalogue << false;
        QTest::newRow("not JSON") << 200 << QByteArray("<html>") << QString() << QString() << false;
        QTest::newRow("500 after an upgrade dropped the cache")
            << 500 << QByteArray() << invalid << status(500) << true;
    }

    void failedAnswerFallsBackToTheStaleCatalogue()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, warning);
        QFETCH(QString, why);
        QFETCH(bool, cacheClearedFirst);
        BrewTestWorld world;
        const QString app = world.installAlpha();
        world.serveCatalogue(QJsonArray{
            BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("3.1")),
            BrewTestWorld::entry(QStringLiteral("beta"), QStringLiteral("1"), {QStringLiteral("Beta.app")})});
        world.service->loadInstalledCasks();
        if (cacheClearedFirst) {
            world.answerUpgrade(QStringLiteral("alpha"));
            world.service->upgradeCask(QStringLiteral("alpha"), {});
        }

        world.clock->advance(600);
        world.serveCatalogueBytes(body, status);
        LogCapture log;
        try {
            world.service->loadInstalledCasks();
            QFAIL("a catalogue that could not be read must be reported");
        } catch (const CatalogueError& error) {
            QVERIFY(!error.description().isEmpty());
            if (!why.isEmpty())
                QCOMPARE(error.description(), why);
        }
        if (!warning.isEmpty())
            QVERIFY(log.contains(Level::warning, warning));
        QCOMPARE(world.catalogueRequests(), 2);

        const std::optional<Cask> cask = world.service->caskInfo(app);
        QVERIFY(cask);
        QCOMPARE(cask->latestVersion, QStringLiteral("3.1"));
        QVERIFY(world.service->findAdoptableCask(QStringLiteral("Beta"), QStringLiteral("/x/Beta.app")));

        // The stale answer was not renewed: the next load asks again.
        world.serveCatalogue(
            QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("4.0"))});
        world.service->loadInstalledCasks();
        QCOMPARE(world.catalogueRequests(), 3);
        QCOMPARE(world.service->caskInfo(app)->latestVersion, QStringLiteral("4.0"));
    }

    void stalledDownloadFallsBackToTheStaleCatalogue()
    {
        BrewTestWorld world(true, std::chrono::milliseconds(300));
        const QString app = world.installAlpha();
        world.serveCatalogue(
            QJsonArray{BrewTestWorld::entry(QStringLiteral("alpha"), QStringLiteral("3.1"))});
        world.service->loadInstalledCasks();
        world.clock->advance(301);
        world.server.route(QStringLiteral("/api/cask.json"),
                           FixtureServer::Reply{.body = "[]", .stallAfter = 1});
        LogCapture log;
        QVERIFY_THROWS_EXCEPTION(CatalogueError, world.service->loadInstalledCasks());
        QVERIFY(!log.containsPrefix(Level::debug, QStringLiteral("Successfully mapped casks: ")));
        QCOMPARE(world.service->caskInfo(app)->latestVersion, QStringLiteral("3.1"));
    }

    // Without any catalogue read, the receipts still tell which cask owns the application: it
    // stays Homebrew's by its token, with nothing claimed that only the catalogue knows.
    void failedFirstAnswerLeavesTheReceiptsFacts()
    {
        BrewTestWorld world;
        const QString app = world.installAlpha();
        world.serveCatalogueBytes("[]", 503);
        LogCapture log;
        QVERIFY_THROWS_EXCEPTION(CatalogueError, world.service->loadInstalledCasks());
        QVERIFY(log.contains(Level::warning, QStringLiteral("Invalid response from Homebrew API")));
        QVERIFY(world.service->hasCask(app));
        Cask tokenOnly;
        tokenOnly.caskName = QStringLiteral("alpha");
        tokenOnly.adopted = true;
        QCOMPARE(world.service->caskInfo(app), std::optional(tokenOnly));
    }

    void unusableCatalogueUrlIsReported()
    {
        BrewTestWorld world;
        world.paths.caskCatalogueUrl = QUrl(QStringLiteral("cask.json"));
        BrewService service(
            BrewService::Options{world.paths, std::make_shared<HttpClient>(), world.clock, nullptr});
        LogCapture log;
        service.fetchAllCasksFromAPI({QStringLiteral("alpha")});
        QVERIFY(log.contains(Level::warning, QStringLiteral("Invalid Homebrew API URL")));
        QCOMPARE(world.catalogueRequests(), 0);
    }

    // Quitting ends every tool for good in this process, so this runs last. The runner reports a
    // listing it ends; that is no failure of brew.
    void listingEndedByQuittingIsNoError()
    {
        BrewTestWorld world;
        world.tool.respond(QStringLiteral("brew"), {QStringLiteral("list"), QStringLiteral("--cask")},
                           FakeTool::Response().withHang());
        LogCapture log;
        std::future<void> load = std::async(std::launch::async, [&] { world.service->loadInstalledCasks(); });
        QTRY_VERIFY(ProcessGroups::runningCount() > 0);
        ProcessGroups::terminateAll(SIGTERM);
        QVERIFY_THROWS_EXCEPTION(NorvelleError, load.get());
        for (const auto& [level, line] : log.lines())
            QVERIFY2(level != Level::error, qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(TestBrewInstalledCasks)
#include "tst_brewinstalledcasks.moc"
