#include "BundleBuilder.h"
#include "FakeTool.h"
#include "LogCapture.h"
#include "TempRoot.h"
#include "model/NorvelleError.h"
#include "sources/ToolRunner.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/MASService.h"

#include <QRegularExpression>
#include <QTest>
#include <QtConcurrent>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::BundleBuilder;
using norvelle::test::FakeTool;
using norvelle::test::LogCapture;
using norvelle::test::TempRoot;
using Level = Logger::Level;
using Response = FakeTool::Response;

namespace {

// Answers lookups from a script and records what it was asked; never touches the network.
class FakeAppStoreAPI : public AppStoreAPIService {
public:
    std::optional<AppStoreMetadata> fetchMetadata(const QString& bundleIdentifier,
                                                  const std::optional<QString>& expectedVersion) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.append({bundleIdentifier, expectedVersion.value_or(QStringLiteral("<none>"))});
        return m_record;
    }
    void setRecord(std::optional<AppStoreMetadata> record)
    {
        std::lock_guard lock(m_mutex);
        m_record = std::move(record);
    }
    QList<QPair<QString, QString>> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<AppStoreMetadata> m_record;
    QList<QPair<QString, QString>> m_calls;
};

// A runner whose captured run fails with an error that is not the tool family's.
class CancelledRunner : public ToolRunner {
public:
    CancelledRunner() : ToolRunner(Family::mas) {}
    QByteArray runCommand(const QString&, const QStringList&) const override { throw CancelledError(); }
};

AppStoreMetadata record(const QString& version)
{
    return AppStoreMetadata{42,
                            QStringLiteral("com.apple.dt.Xcode"),
                            QStringLiteral("Xcode"),
                            version,
                            QStringLiteral("New things"),
                            QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC),
                            qint64(3'000'000'000),
                            std::nullopt};
}

struct World {
    TempRoot root;
    FakeTool tool;
    std::shared_ptr<FakeAppStoreAPI> api = std::make_shared<FakeAppStoreAPI>();
    std::unique_ptr<MASService> service;

    // The tool sits at the second candidate; the first does not exist.
    explicit World(bool withTool = true, std::shared_ptr<const ToolRunner> runner = nullptr)
    {
        Paths paths = root.paths();
        paths.masCandidates = {root.filePath(QStringLiteral("/opt/homebrew/bin/mas")),
                               withTool ? tool.masPath()
                                        : root.filePath(QStringLiteral("/usr/local/bin/mas"))};
        root.makeDirectory(QStringLiteral("/Applications"));
        service = std::make_unique<MASService>(api, MASService::Options{paths, std::move(runner)});
    }

    QString app(const QString& name, const QString& bundleIdentifier, bool binary = false) const
    {
        return BundleBuilder(root.paths().applicationsFolder, name)
            .bundleIdentifier(bundleIdentifier)
            .binary(binary)
            .build();
    }
    void list(const QByteArray& output)
    {
        tool.respond("mas", {"list"}, Response().withStandardOutput(output));
    }
    void outdated(const QByteArray& output)
    {
        tool.respond("mas", {"outdated"}, Response().withStandardOutput(output));
    }
};

template <typename F> std::optional<NorvelleError::Case> errorCaseOf(F&& f)
{
    try {
        f();
    } catch (const NorvelleError& e) {
        return e.errorCase();
    }
    return std::nullopt;
}

} // namespace

class TestMASService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void installedAppsFromList()
    {
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.app("Keynote (Legacy)", "com.apple.keynote.legacy", true);
        w.app("Pages", "com.apple.iWork.Pages");
        w.app("Numbers", "com.apple.iWork.Pages"); // resolves to the same identifier: the later line wins
        BundleBuilder(w.root.paths().applicationsFolder + "/Utilities", "Nested")
            .bundleIdentifier("com.nested")
            .build();
        BundleBuilder(w.root.paths().applicationsFolder, "NoPlist").withoutInfoPlist().build();
        BundleBuilder(w.root.paths().applicationsFolder, "NumberId")
            .set("CFBundleIdentifier", qint64(5))
            .build();
        BundleBuilder(w.root.paths().applicationsFolder, "Broken").rawInfoPlist("not a plist").build();
        w.list("  497799835  Xcode  (15.0)\r\n"
               "409183694 Keynote (Legacy) (13.1)\n"
               "409201541 Pages (14.0)\n"
               "409203825 Numbers (14.0)\n"
               "1 Nested (1.0)\n"
               "2 Utilities/Nested (1.0)\n"
               "3 NoPlist (1.0)\n"
               "4 NumberId (1.0)\n"
               "5 Broken (1.0)\n"
               "6 Missing (1.0)\n"
               "7 Xcode 15.0)\n"
               "garbage\n");

        LogCapture log;
        w.service->loadInstalledApps();
        QVERIFY(log.contains(Level::debug, "Using MAS path: " + w.tool.masPath()));
        QVERIFY(log.contains(Level::info, "Found 3 installed App Store apps"));

        QCOMPARE(w.service->masInfo("com.apple.dt.Xcode", "15.0"),
                 MAS({"497799835", "15.0", "15.0", "com.apple.dt.Xcode", std::nullopt}));
        QCOMPARE(w.service->masInfo("com.apple.keynote.legacy", "13.1")->appID, QStringLiteral("409183694"));
        QCOMPARE(w.service->masInfo("com.apple.iWork.Pages", "14.0")->appID, QStringLiteral("409203825"));
        QVERIFY(!w.service->masInfo("com.nested", "1.0"));
        QVERIFY(!w.service->masInfo("com.unknown", "1.0"));
    }

    void noInstalledAppsIsNotAnError_data()
    {
        QTest::addColumn<Response>("response");
        QTest::newRow("tool reports none")
            << Response().withStandardError("No installed apps found\n").withExitCode(1);
        QTest::newRow("other failure") << Response().withStandardError("boom\n").withExitCode(2);
    }
    void noInstalledAppsIsNotAnError()
    {
        QFETCH(Response, response);
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.list("497799835 Xcode (15.0)\n");
        w.service->loadInstalledApps();
        QVERIFY(w.service->masInfo("com.apple.dt.Xcode", "15.0"));

        w.tool.clearResponses();
        w.tool.respond("mas", {"list"}, response);
        LogCapture log;
        w.service->loadInstalledApps(); // returns normally
        QVERIFY(log.contains(Level::info,
                             "No MAS apps found (this is normal if no App Store apps are installed)"));
        QVERIFY(!w.service->masInfo("com.apple.dt.Xcode", "15.0"));
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
        QVERIFY(log.contains(Level::info, "MAS CLI not installed - skipping MAS app loading"));
        QVERIFY(log.contains(Level::info, "MAS CLI not installed - skipping outdated check"));
        QVERIFY(!w.service->checkForUpdate("com.apple.dt.Xcode"));

        log.clear();
        QCOMPARE(errorCaseOf([&] { w.service->upgrade("497799835", [](const QString&, double) {}); }),
                 NorvelleError::Case::masCommandFailed);
        QCOMPARE(log.lines(),
                 (QList<QPair<Level, QString>>{{Level::info, "Updating App Store app: 497799835"}}));
    }

    void outdatedFailurePassesOnAndKeepsTheListing()
    {
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.list("497799835 Xcode (15.0)\n");
        w.outdated("497799835 Xcode (15.0 -> 15.1)\n");
        LogCapture log;
        w.service->loadInstalledApps();
        w.service->loadOutdatedApps();
        QVERIFY(log.contains(Level::info, "Found 1 outdated App Store apps"));
        const QRegularExpression timing(QStringLiteral("^MAS outdated: \\d+\\.\\d\\ds$"));
        QVERIFY(std::any_of(log.lines().cbegin(), log.lines().cend(), [&](const auto& line) {
            return line.first == Level::debug && timing.match(line.second).hasMatch();
        }));

        w.tool.clearResponses();
        w.tool.respond("mas", {"outdated"}, Response().withStandardError("offline\n").withExitCode(1));
        QCOMPARE(errorCaseOf([&] { w.service->loadOutdatedApps(); }), NorvelleError::Case::masCommandFailed);
        QCOMPARE(w.service->masInfo("com.apple.dt.Xcode", "15.0")->storeVersion, QStringLiteral("15.1"));
    }

    void updateDecision_data()
    {
        QTest::addColumn<QByteArray>("outdatedLine");
        QTest::addColumn<QString>("latest"); // empty: no update

        QTest::newRow("1.9 to 1.10") << QByteArray("497799835 Xcode (1.9 -> 1.10)\n") << "1.10";
        QTest::newRow("equal") << QByteArray("497799835 Xcode (1.10 -> 1.10)\n") << "";
        QTest::newRow("store lower") << QByteArray("497799835 Xcode (2.0 -> 1.9)\n") << "";
        QTest::newRow("build after comma") << QByteArray("497799835 Xcode (1.0,5 -> 1.0,10)\n") << "1.0,10";
        QTest::newRow("empty installed") << QByteArray("497799835 Xcode ( -> 1.0)\n") << "1.0";
        QTest::newRow("other app outdated") << QByteArray("1 Other (1.0 -> 2.0)\n") << "";
        QTest::newRow("leading space: empty id") << QByteArray(" 497799835 Xcode (1.0 -> 2.0)\n") << "";
        QTest::newRow("unreadable line") << QByteArray("497799835 Xcode (Beta) (1.0 -> 2.0)\n") << "";
    }
    void updateDecision()
    {
        QFETCH(QByteArray, outdatedLine);
        QFETCH(QString, latest);
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.list("497799835 Xcode (1.0)\n");
        w.outdated(outdatedLine);
        w.service->loadInstalledApps();
        w.service->loadOutdatedApps();

        const std::optional<Update> update = w.service->checkForUpdate("com.apple.dt.Xcode");
        QCOMPARE(update.has_value(), !latest.isEmpty());
        QCOMPARE(w.api->calls().size(), update ? 1 : 0);
        if (update)
            QCOMPARE(update->latestVersion, latest);
    }

    void lookupAddsOnlyNotesDateAndSize_data()
    {
        QTest::addColumn<QString>("recordVersion"); // empty: the lookup gives nothing
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");

        QTest::newRow("same version")
            << "15.1" << int(Level::debug) << "Fetched metadata for Xcode v15.1 from iTunes API";
        QTest::newRow("other version") << "16.0" << int(Level::warning)
                                       << "Version mismatch for Xcode: mas shows v15.1 but iTunes API shows "
                                          "v16.0. Using iTunes API data.";
        QTest::newRow("no record") << "" << -1 << "";
    }
    void lookupAddsOnlyNotesDateAndSize()
    {
        QFETCH(QString, recordVersion);
        QFETCH(int, level);
        QFETCH(QString, message);
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.list("497799835 Xcode (15.0)\n");
        w.outdated("497799835 Xcode (15.0 -> 15.1)\n");
        w.service->loadInstalledApps();
        w.service->loadOutdatedApps();
        if (!recordVersion.isEmpty())
            w.api->setRecord(record(recordVersion));

        LogCapture log;
        const std::optional<Update> update = w.service->checkForUpdate("com.apple.dt.Xcode");
        QVERIFY(update);
        QCOMPARE(w.api->calls(), (QList<QPair<QString, QString>>{{"com.apple.dt.Xcode", "15.1"}}));

        Update expected;
        expected.latestVersion = QStringLiteral("15.1");
        expected.source = Update::Source::appStore;
        expected.status = Update::Status::available;
        expected.mas = MAS{"497799835", "15.1", "15.0", "com.apple.dt.Xcode", std::nullopt};
        if (!recordVersion.isEmpty()) {
            expected.releaseNotes = QStringLiteral("New things");
            expected.releaseDate = QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC);
            expected.mas->fileSizeBytes = qint64(3'000'000'000);
        }
        QCOMPARE(*update, expected);

        if (level < 0)
            QVERIFY(log.lines().isEmpty());
        else
            QCOMPARE(log.lines(), (QList<QPair<Level, QString>>{{Level(level), message}}));
    }

    void upgradeStreamsLinesWithProgress()
    {
        World w;
        w.tool.respond("mas", {"upgrade", "497799835"},
                       Response()
                           .withLine("==> Downloading Xcode\r\n")
                           .withLine("warning: slow\n", true)
                           .withLine("   \n")
                           .withLine("==> Installed Xcode\n")
                           .withLine("Upgrade complete"));
        QList<QPair<QString, double>> lines;
        LogCapture log;
        w.service->upgrade("497799835", [&](const QString& line, double fraction) {
            lines.append({line, fraction});
        });

        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.contains(qMakePair(QStringLiteral("==> Downloading Xcode"), 0.3)));
        QVERIFY(lines.contains(qMakePair(QStringLiteral("warning: slow"), 0.0)));
        QVERIFY(lines.contains(qMakePair(QStringLiteral("==> Installed Xcode"), 0.0)));
        QVERIFY(lines.contains(qMakePair(QStringLiteral("Upgrade complete"), 1.0)));
        QVERIFY(log.contains(Level::info, "Updating App Store app: 497799835"));
        QVERIFY(log.contains(Level::info, "Successfully updated app: 497799835"));
    }

    void failedUpgradeThrows()
    {
        World w;
        w.tool.respond("mas", {"upgrade", "497799835"},
                       Response().withLine("Error: not signed in\n", true).withExitCode(1));
        LogCapture log;
        int delivered = 0;
        QCOMPARE(errorCaseOf(
                     [&] { w.service->upgrade("497799835", [&](const QString&, double) { ++delivered; }); }),
                 NorvelleError::Case::masCommandFailed);
        QCOMPARE(delivered, 1);
        QVERIFY(!log.contains(Level::info, "Successfully updated app: 497799835"));
    }

    void lookupsAnswerWhileTheToolRuns()
    {
        World w;
        w.app("Xcode", "com.apple.dt.Xcode");
        w.list("497799835 Xcode (15.0)\n");
        w.service->loadInstalledApps();
        w.tool.respond("mas", {"outdated"},
                       Response().withStandardOutput("497799835 Xcode (15.0 -> 15.1)\n").withDelay(1.5));

        QFuture<void> load = QtConcurrent::run([&] { w.service->loadOutdatedApps(); });
        QTRY_COMPARE(w.tool.calls("mas").size(), 2); // the outdated run has started
        // The listing lock is free while the tool runs, and the old listing is still answered.
        QCOMPARE(w.service->masInfo("com.apple.dt.Xcode", "15.0")->storeVersion, QStringLiteral("15.0"));
        QVERIFY(!w.service->checkForUpdate("com.apple.dt.Xcode"));
        QVERIFY(!load.isFinished());
        load.waitForFinished();
        QCOMPARE(w.service->masInfo("com.apple.dt.Xcode", "15.0")->storeVersion, QStringLiteral("15.1"));
    }
};

QTEST_GUILESS_MAIN(TestMASService)
#include "tst_masservice.moc"
