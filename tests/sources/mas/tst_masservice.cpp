#include "BundleBuilder.h"
#include "ErrorCaseOf.h"
#include "FakeTool.h"
#include "LogCapture.h"
#include "TempRoot.h"
#include "model/NorvelleError.h"
#include "platform/process/ProcessGroups.h"
#include "sources/ToolRunner.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/MASService.h"

#include <QRegularExpression>
#include <QTest>
#include <QtConcurrent>
#include <csignal>

using namespace norvelle;
using norvelle::test::BundleBuilder;
using norvelle::test::descriptionOf;
using norvelle::test::errorCaseOf;
using norvelle::test::FakeTool;
using norvelle::test::LogCapture;
using norvelle::test::TempRoot;
using Level = Logger::Level;
using LogLines = QList<QPair<Level, QString>>;
using Response = FakeTool::Response;

namespace {

const QString kXcode = QStringLiteral("com.apple.dt.Xcode");

// Answers lookups from a script and records what it was asked; never touches the network.
class FakeAppStoreAPI : public AppStoreAPIService {
public:
    std::optional<AppStoreMetadata> record;
    QStringList calls; // "identifier expectedVersion"

    std::optional<AppStoreMetadata> fetchMetadata(const QString& bundleIdentifier,
                                                  const std::optional<QString>& expectedVersion) override
    {
        std::lock_guard lock(m_mutex);
        calls << bundleIdentifier + u' ' + expectedVersion.value_or(QStringLiteral("-"));
        return record;
    }

private:
    std::mutex m_mutex;
};

// A runner whose captured run fails with an error that is not the tool family's.
class CancelledRunner : public ToolRunner {
public:
    CancelledRunner() : ToolRunner(Family::mas) {}
    Output runCaptured(const QString&, const QStringList&) const override { throw CancelledError(); }
};

// Runs the first `mas list` with the usual limits and every later run with the given ones, so
// a short limit for the run under test cannot cut the good listing before it.
class LimitedAfterFirstRun : public ToolRunner {
public:
    explicit LimitedAfterFirstRun(Limits limits) : ToolRunner(Family::mas), m_limited(Family::mas, limits) {}
    Output runCaptured(const QString& executable, const QStringList& arguments) const override
    {
        return m_runs++ == 0 ? ToolRunner::runCaptured(executable, arguments)
                             : m_limited.runCaptured(executable, arguments);
    }

private:
    ToolRunner m_limited;
    mutable std::atomic<int> m_runs{0};
};

struct World {
    TempRoot root;
    FakeTool tool;
    std::shared_ptr<FakeAppStoreAPI> api = std::make_shared<FakeAppStoreAPI>();
    std::unique_ptr<MASService> service;

    // The tool sits at the second candidate; nothing exists at the first.
    explicit World(bool withTool = true, std::shared_ptr<const ToolRunner> runner = nullptr)
    {
        Paths paths = root.paths();
        paths.masCandidates = {root.filePath("/opt/homebrew/bin/mas"),
                               withTool ? tool.masPath() : root.filePath("/usr/local/bin/mas")};
        root.makeDirectory("/Applications");
        service = std::make_unique<MASService>(api, MASService::Options{paths, std::move(runner)});
    }
    BundleBuilder app(const QString& name) const
    {
        return BundleBuilder(root.paths().applicationsFolder, name);
    }
    void answer(const QString& command, const Response& response)
    {
        tool.clearResponses();
        tool.respond("mas", {command}, response);
    }
    // Xcode installed as 497799835 and listed by `mas outdated` with this line.
    void xcodeOutdated(const QByteArray& outdatedLine)
    {
        app("Xcode").bundleIdentifier(kXcode).build();
        answer("list", Response().withStandardOutput("497799835 Xcode (1.0)\n"));
        service->loadInstalledApps();
        answer("outdated", Response().withStandardOutput(outdatedLine));
        service->loadOutdatedApps();
    }
};

} // namespace

class TestMASService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void installedAppsFromList()
    {
        World w;
        w.app("Xcode").bundleIdentifier(kXcode).build();
        w.app("Keynote (Legacy)").bundleIdentifier("com.apple.keynote.legacy").binary().build();
        w.app("Pages").bundleIdentifier("com.apple.iWork.Pages").build();
        w.app("Numbers")
            .bundleIdentifier("com.apple.iWork.Pages")
            .build(); // same identifier: later line wins
        BundleBuilder(w.root.filePath("/Applications/Utilities"), "Nested")
            .bundleIdentifier("com.nested")
            .build();
        w.app("NoPlist").withoutInfoPlist().build();
        w.app("NumberId").set("CFBundleIdentifier", qint64(5)).build();
        w.app("Broken").rawInfoPlist("not a plist").build();
        w.answer("list", Response().withStandardOutput("  497799835  Xcode  (15.0)\r\n"
                                                       "409183694 Keynote (Legacy) (13.1)\n"
                                                       "409201541 Pages (14.0)\n"
                                                       "409203825 Numbers (14.0)\n"
                                                       "1 Nested (1.0)\n2 Utilities/Nested (1.0)\n"
                                                       "3 NoPlist (1.0)\n4 NumberId (1.0)\n5 Broken (1.0)\n"
                                                       "6 Missing (1.0)\n7 Xcode 15.0)\ngarbage\n"));
        LogCapture log;
        w.service->loadInstalledApps();
        QVERIFY(log.contains(Level::debug, "Using MAS path: " + w.tool.masPath()));
        QVERIFY(log.contains(Level::info, "Found 3 installed App Store apps"));

        QCOMPARE(w.service->masInfo(kXcode, "15.0"),
                 MAS({"497799835", "15.0", "15.0", kXcode, std::nullopt}));
        QCOMPARE(w.service->masInfo("com.apple.keynote.legacy", "13.1")->appID, QStringLiteral("409183694"));
        QCOMPARE(w.service->masInfo("com.apple.iWork.Pages", "14.0")->appID, QStringLiteral("409203825"));
        QVERIFY(!w.service->masInfo("com.nested", "1.0"));
    }

    // The tool's own answer that no store application is installed, or no answer at all.
    void noAppsAnswerEmptiesTheListing_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("logged");
        const QString noApps = "No MAS apps found (this is normal if no App Store apps are installed)";
        QTest::newRow("status 1, standard error")
            << Response().withStandardError("No installed apps found\n").withExitCode(1) << noApps;
        QTest::newRow("status 0, standard output")
            << Response().withStandardOutput("No installed apps found\n") << noApps;
        QTest::newRow("status 1, after mas's label")
            << Response().withStandardError(" Error: No installed apps found \n").withExitCode(1) << noApps;
        QTest::newRow("empty answer")
            << Response().withStandardOutput(" \n") << "Found 0 installed App Store apps";
    }
    void noAppsAnswerEmptiesTheListing()
    {
        QFETCH(Response, response);
        QFETCH(QString, logged);
        World w;
        w.xcodeOutdated("497799835 Xcode (1.0 -> 1.1)\n");
        QVERIFY(w.service->masInfo(kXcode, "1.0"));
        w.answer("list", response);
        LogCapture log;
        w.service->loadInstalledApps(); // returns normally
        QVERIFY(log.contains(Level::info, logged));
        QVERIFY(!w.service->masInfo(kXcode, "1.0"));
    }

    // A tool that never answered, or answered without a listing, is no report that nothing is
    // installed: the last listing stays, and the failure goes on to be told as what happened.
    void brokenListRunIsLoggedAsFailure_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("limitMs"); // the crash row's limit leaves room for a slow start under load
        QTest::addColumn<bool>("unstartable"); // the tool is replaced by a file that cannot run
        QTest::addColumn<QString>("reason");   // the error's description
        QTest::newRow("crash") << Response().withCrash(SIGSEGV) << 30000 << false << "mas list crashed";
        QTest::newRow("hang") << Response().withHang() << 300 << false << "mas list timed out after 0.3s";
        QTest::newRow("error exit") << Response().withStandardError("\n boom \nsecond\n").withExitCode(2)
                                    << 30000 << false << "mas list exited with status 2: boom";
        QTest::newRow("silent error exit")
            << Response().withExitCode(3) << 30000 << false << "mas list exited with status 3";
        QTest::newRow("cannot be started")
            << Response() << 30000 << true << "mas list could not be started: ";
        const QString without = "mas list answered without a listing: ";
        QTest::newRow("warning") << Response().withStandardOutput("Warning: not signed in\n") << 30000
                                 << false << without + "Warning: not signed in";
        QTest::newRow("warning naming an app")
            << Response().withStandardOutput("Warning: Xcode (1.0) is not indexed\n") << 30000 << false
            << without + "Warning: Xcode (1.0) is not indexed";
        QTest::newRow("only standard error") << Response().withStandardError("Error: no store\n") << 30000
                                             << false << without + "Error: no store";
        const QString quoting = "Error: cache lookup: No installed apps found in the cache; retry";
        QTest::newRow("the no-apps words inside an error")
            << Response().withStandardOutput(quoting.toUtf8()) << 30000 << false << without + quoting;
        QTest::newRow("the no-apps words inside an error exit")
            << Response().withStandardError(quoting.toUtf8()).withExitCode(1) << 30000 << false
            << "mas list exited with status 1: " + quoting;
    }
    void brokenListRunIsLoggedAsFailure()
    {
        QFETCH(Response, response);
        QFETCH(int, limitMs);
        QFETCH(bool, unstartable);
        QFETCH(QString, reason);
        ToolRunner::Limits limits;
        limits.command = std::chrono::milliseconds(limitMs);
        World w(true, std::make_shared<LimitedAfterFirstRun>(limits));
        w.app("Xcode").bundleIdentifier(kXcode).build();
        w.answer("list", Response().withStandardOutput("497799835 Xcode (1.0)\n"));
        w.service->loadInstalledApps();
        w.answer("list", response);
        if (unstartable) {
            const QByteArray notAProgram = QByteArrayLiteral("\177ELF, but no program");
            QFile tool(w.tool.masPath());
            QVERIFY(tool.open(QIODevice::WriteOnly | QIODevice::Truncate) && tool.write(notAProgram) > 0);
        }
        LogCapture log;
        const QString described = descriptionOf([&] { w.service->loadInstalledApps(); });
        if (unstartable) // followed by the system's words
            QVERIFY2(described.startsWith(reason) && described.size() > reason.size(), qPrintable(described));
        else
            QCOMPARE(described, reason);
        QVERIFY(log.contains(Level::error, "Error executing mas list: " + described));
        QVERIFY(!log.containsPrefix(Level::info, "No MAS apps found"));
        QCOMPARE(w.service->masInfo(kXcode, "1.0")->appID, QStringLiteral("497799835"));
    }

    void otherListErrorsPassOn()
    {
        World w(true, std::make_shared<CancelledRunner>());
        LogCapture log;
        QVERIFY_THROWS_EXCEPTION(CancelledError, w.service->loadInstalledApps());
        QVERIFY(log.contains(Level::error, "Error executing mas list: The operation was cancelled"));
    }

    void withoutTheTool()
    {
        World w(false);
        LogCapture log;
        w.service->loadInstalledApps();
        w.service->loadOutdatedApps();
        QCOMPARE(errorCaseOf([&] { w.service->upgrade("497799835", [](const QString&, double) {}); }),
                 NorvelleError::Case::masCommandFailed);
        QCOMPARE(log.lines(), (LogLines{{Level::info, "MAS CLI not installed - skipping MAS app loading"},
                                        {Level::info, "MAS CLI not installed - skipping outdated check"},
                                        {Level::info, "Updating App Store app: 497799835"}}));
    }

    void outdatedFailurePassesOnAndKeepsTheListing()
    {
        World w;
        LogCapture log;
        w.xcodeOutdated("497799835 Xcode (1.0 -> 1.1)\n");
        QVERIFY(log.contains(Level::info, "Found 1 outdated App Store apps"));
        const QRegularExpression timing(QStringLiteral("^MAS outdated: \\d+\\.\\d\\ds$"));
        const LogLines lines = log.lines();
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [&](const auto& line) {
            return line.first == Level::debug && timing.match(line.second).hasMatch();
        }));

        w.answer("outdated", Response().withStandardError("offline\n").withExitCode(1));
        QCOMPARE(descriptionOf([&] { w.service->loadOutdatedApps(); }),
                 QStringLiteral("mas outdated exited with status 1: offline"));
        QCOMPARE(w.service->masInfo(kXcode, "1.0")->storeVersion, QStringLiteral("1.1"));
    }

    void updateDecision_data()
    {
        QTest::addColumn<QByteArray>("outdatedLine");
        QTest::addColumn<QString>("latest"); // empty: no update
        // clang-format off
        QTest::newRow("1.9 to 1.10") << QByteArray("497799835 Xcode (1.9 -> 1.10)\n") << "1.10";
        QTest::newRow("equal") << QByteArray("497799835 Xcode (1.10 -> 1.10)\n") << "";
        QTest::newRow("store lower") << QByteArray("497799835 Xcode (2.0 -> 1.9)\n") << "";
        QTest::newRow("build after comma") << QByteArray("497799835 Xcode (1.0,5 -> 1.0,10)\n") << "1.0,10";
        QTest::newRow("other app outdated") << QByteArray("1 Other (1.0 -> 2.0)\n") << "";
        QTest::newRow("leading space: empty id") << QByteArray(" 497799835 Xcode (1.0 -> 2.0)\n") << "";
        // clang-format on
    }
    void updateDecision()
    {
        QFETCH(QByteArray, outdatedLine);
        QFETCH(QString, latest);
        World w;
        w.xcodeOutdated(outdatedLine);
        const std::optional<Update> update = w.service->checkForUpdate(kXcode);
        QCOMPARE(update ? update->latestVersion : QString(), latest);
        QCOMPARE(w.api->calls.size(), update ? 1 : 0);
    }

    void lookupAddsOnlyNotesDateAndSize_data()
    {
        QTest::addColumn<QString>("recordVersion"); // empty: the lookup gives nothing
        QTest::addColumn<LogLines>("logged");
        QTest::newRow("same version")
            << "1.1" << LogLines{{Level::debug, "Fetched metadata for Xcode v1.1 from iTunes API"}};
        QTest::newRow("other version")
            << "2.0"
            << LogLines{{Level::warning, "Version mismatch for Xcode: mas shows v1.1 but iTunes API shows "
                                         "v2.0. Using iTunes API data."}};
        QTest::newRow("no record") << "" << LogLines{};
    }
    void lookupAddsOnlyNotesDateAndSize()
    {
        QFETCH(QString, recordVersion);
        QFETCH(LogLines, logged);
        World w;
        w.xcodeOutdated("497799835 Xcode (1.0 -> 1.1)\n");
        const QDateTime date(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC);
        if (!recordVersion.isEmpty())
            w.api->record = AppStoreMetadata{42,
                                             kXcode,
                                             "Xcode",
                                             recordVersion,
                                             QStringLiteral("New"),
                                             date,
                                             qint64(3'000'000'000),
                                             std::nullopt};
        LogCapture log;
        const std::optional<Update> update = w.service->checkForUpdate(kXcode);
        QCOMPARE(w.api->calls, QStringList{kXcode + " 1.1"});
        QCOMPARE(log.lines(), logged);

        Update expected;
        expected.latestVersion = QStringLiteral("1.1");
        expected.source = Update::Source::appStore;
        expected.mas = MAS{"497799835", "1.1", "1.0", kXcode, std::nullopt};
        if (!recordVersion.isEmpty()) {
            expected.releaseNotes = QStringLiteral("New");
            expected.releaseDate = date;
            expected.mas->fileSizeBytes = qint64(3'000'000'000);
        }
        QCOMPARE(update, expected);
    }

    void upgradeStreamsLinesWithProgress()
    {
        World w;
        w.tool.respond("mas", {"upgrade", "497799835"},
                       Response()
                           .withLine("==> Downloading Xcode\r\n")
                           .withLine("warning: slow\n", true)
                           .withLine("==> Installed Xcode\n")
                           .withLine("Upgrade complete"));
        QList<QPair<QString, double>> lines;
        LogCapture log;
        w.service->upgrade("497799835", [&](const QString& line, double fraction) {
            lines.append({line, fraction});
        });
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines, (QList<QPair<QString, double>>{{"==> Downloading Xcode", 0.3},
                                                       {"==> Installed Xcode", 0.0},
                                                       {"Upgrade complete", 1.0},
                                                       {"warning: slow", 0.0}}));
        QVERIFY(log.contains(Level::info, "Successfully updated app: 497799835"));

        w.tool.clearResponses();
        w.tool.respond("mas", {"upgrade", "1"},
                       Response().withLine("Error: not signed in\n", true).withExitCode(1));
        log.clear();
        QCOMPARE(errorCaseOf([&] { w.service->upgrade("1", [](const QString&, double) {}); }),
                 NorvelleError::Case::masCommandFailed);
        QVERIFY(!log.contains(Level::info, "Successfully updated app: 1"));
    }

    void lookupsAnswerWhileTheToolRuns()
    {
        World w;
        w.xcodeOutdated("");
        w.answer("outdated", Response().withStandardOutput("497799835 Xcode (1.0 -> 1.1)\n").withDelay(1.5));
        QFuture<void> load = QtConcurrent::run([&] { w.service->loadOutdatedApps(); });
        QTRY_COMPARE(w.tool.calls("mas").size(), 3); // the second outdated run has started
        // The listing lock is free while the tool runs, and the old listing is still answered.
        QCOMPARE(w.service->masInfo(kXcode, "1.0")->storeVersion, QStringLiteral("1.0"));
        QVERIFY(!w.service->checkForUpdate(kXcode));
        QVERIFY(!load.isFinished());
        load.waitForFinished();
        QCOMPARE(w.service->masInfo(kXcode, "1.0")->storeVersion, QStringLiteral("1.1"));
    }

    // Quitting ends every tool for good in this process, so this runs last. A `mas list` it
    // ends is no crash and no failure, and the listing stays.
    void listEndedByQuittingIsNoFailure()
    {
        World w;
        w.xcodeOutdated("");
        w.answer("list", Response().withHang());
        LogCapture log;
        QFuture<void> load = QtConcurrent::run([&] { w.service->loadInstalledApps(); });
        QTRY_VERIFY(ProcessGroups::runningCount() > 0);
        ProcessGroups::terminateAll(SIGTERM);
        load.waitForFinished();
        for (const auto& [level, line] : log.lines())
            QVERIFY2(level != Level::error, qPrintable(line));
        QVERIFY(log.contains(Level::info, "Command ended by quitting: " + w.tool.masPath() + " list"));
        QVERIFY(w.service->masInfo(kXcode, "1.0"));
    }
};

QTEST_GUILESS_MAIN(TestMASService)
#include "tst_masservice.moc"
