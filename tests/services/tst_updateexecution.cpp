#include "FakeBrewService.h"
#include "FakeMASService.h"
#include "FakeSparkleService.h"
#include "LogCapture.h"
#include "TestGate.h"
#include "model/NorvelleError.h"
#include "services/UpdateService.h"
#include "util/ScopeExit.h"

#include <QSet>
#include <QTest>
#include <future>
#include <latch>
#include <mutex>
#include <thread>

using namespace norvelle;
using norvelle::test::FakeBrewService;
using norvelle::test::FakeMASService;
using norvelle::test::FakeSparkleService;
using norvelle::test::LogCapture;
using norvelle::test::TestGate;
using Level = Logger::Level;
using Status = UpdateProgress::Status;
using Source = Application::Source;

namespace {

Update offer(Update::Source source, std::optional<MAS> mas = std::nullopt,
             std::optional<Cask> cask = std::nullopt)
{
    Update update;
    update.latestVersion = QStringLiteral("2.0");
    update.source = source;
    update.mas = std::move(mas);
    update.cask = std::move(cask);
    return update;
}

Cask exampleCask()
{
    Cask cask;
    cask.caskName = QStringLiteral("example");
    return cask;
}

MAS exampleMAS()
{
    return MAS{QStringLiteral("42"), QStringLiteral("2.0"), QStringLiteral("1.0"),
               QStringLiteral("com.example.app"), std::nullopt};
}

std::shared_ptr<Application> app(std::optional<Update> update, std::optional<Cask> cask = std::nullopt,
                                 std::optional<MAS> mas = std::nullopt,
                                 const QString& name = QStringLiteral("Example"),
                                 const QString& identifier = QStringLiteral("com.example.app"))
{
    // Managed by the source that offers the update.
    const Source source = update ? toApplicationSource(update->source) : Source::homebrew;
    return Application::create(name, identifier, QUrl::fromLocalFile("/Applications/" + name + ".app"),
                               QStringLiteral("1.0"), QList<Source>{source}, std::move(update),
                               std::move(cask), std::move(mas));
}

// The values a handler received, and whether each was already stored when it arrived.
class Recorder {
public:
    explicit Recorder(const UpdateService* service = nullptr) : m_service(service) {}

    UpdateService::ProgressHandler handler()
    {
        return [this](const UpdateProgress& value) {
            bool stored = true;
            if (m_service) {
                const std::optional<UpdateProgress> current =
                    m_service->currentProgress(value.application->bundleIdentifier());
                stored = current && current->id == value.id;
            }
            std::lock_guard lock(m_mutex);
            m_values.append(value);
            m_allStored = m_allStored && stored;
        };
    }
    QList<UpdateProgress> values() const
    {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    bool allStored() const
    {
        std::lock_guard lock(m_mutex);
        return m_allStored;
    }

private:
    const UpdateService* m_service;
    mutable std::mutex m_mutex;
    QList<UpdateProgress> m_values;
    bool m_allStored = true;
};

struct Expected {
    Status status;
    double progress;
    QString step;
    int outputLines;
};

} // namespace

class TestUpdateExecution : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeBrewService> m_brew;
    std::shared_ptr<FakeMASService> m_mas;
    std::shared_ptr<FakeSparkleService> m_sparkle;
    std::unique_ptr<UpdateService> m_service;

    void compareValues(const QList<UpdateProgress>& values, const QList<Expected>& expected)
    {
        QCOMPARE(values.size(), expected.size());
        QSet<QUuid> ids;
        for (qsizetype i = 0; i < values.size(); ++i) {
            const UpdateProgress& value = values.at(i);
            QCOMPARE(value.status, expected.at(i).status);
            QCOMPARE(value.progress, expected.at(i).progress);
            QCOMPARE(value.currentStep, expected.at(i).step);
            QCOMPARE(value.brewOutput.size(), expected.at(i).outputLines);
            QCOMPARE(value.startTime, values.first().startTime);
            QVERIFY(!value.estimatedCompletion);
            ids.insert(value.id);
        }
        QCOMPARE(ids.size(), values.size());
    }

    void verifyIdle(const QString& identifier = QStringLiteral("com.example.app"))
    {
        QVERIFY(!m_service->activeUpdates().contains(identifier));
        QVERIFY(!m_service->currentProgress(identifier));
    }

private Q_SLOTS:
    void init()
    {
        m_brew = std::make_shared<FakeBrewService>();
        m_mas = std::make_shared<FakeMASService>();
        m_sparkle = std::make_shared<FakeSparkleService>();
        m_service = std::make_unique<UpdateService>(m_brew, m_mas, m_sparkle);
    }

    void homebrewRun()
    {
        m_brew->onUpgradeCask = [](const QString&, const LineHandler& progress) {
            progress("==> Upgrading 1 outdated package:", 0.0);
            progress("==> Installing Cask example", 0.7);
            progress("==> Moving App 'Example.app' to '/Applications/Example.app'", 0.9);
            progress("example was successfully upgraded!", 1.0);
        };
        const auto application = app(offer(Update::Source::homebrew), exampleCask());
        Recorder recorder(m_service.get());
        LogCapture log;
        const Update::Result result = m_service->updateApplication(application, recorder.handler());

        compareValues(
            recorder.values(),
            {{Status::queued, 0.0, "Starting update... (this may take a moment)", 0},
             {Status::downloading, 0.0, "==> Upgrading 1 outdated package:", 1},
             {Status::installing, 0.7, "==> Installing Cask example", 2},
             {Status::verifying, 0.9, "==> Moving App 'Example.app' to '/Applications/Example.app'", 3},
             {Status::completed, 1.0, "example was successfully upgraded!", 4},
             {Status::completed, 1.0, "Update completed successfully", 0}});
        QCOMPARE(recorder.values().at(4).brewOutput.last(),
                 QStringLiteral("example was successfully upgraded!"));
        QVERIFY(recorder.allStored());
        QCOMPARE(m_brew->calls(), QStringList{"upgradeCask example"});
        QVERIFY(log.contains(Level::info, "Updating Example via homebrew"));
        QVERIFY(log.contains(Level::info, "Successfully updated Example"));
        QVERIFY(result.success);
        QVERIFY(!result.error);
        QVERIFY(result.application == application);
        verifyIdle();
    }

    void homebrewFailureKeepsTheOutput()
    {
        m_brew->onUpgradeCask = [](const QString&, const LineHandler& progress) {
            progress("==> Upgrading 1 outdated package:", 0.0);
            progress("==> Installing Cask example", 0.7);
            progress("==> Moving App 'Example.app'", 0.9);
            throw NorvelleError::brewCommandFailed();
        };
        Recorder recorder(m_service.get());
        LogCapture log;
        const Update::Result result = m_service->updateApplication(
            app(offer(Update::Source::homebrew), exampleCask()), recorder.handler());
        const UpdateProgress failed = recorder.values().last();
        QCOMPARE(failed.status, Status::failed);
        QCOMPARE(failed.progress, 0.0);
        QCOMPARE(failed.currentStep, QStringLiteral("Homebrew command failed to execute"));
        QCOMPARE(failed.brewOutput.size(), 3);
        QVERIFY(recorder.allStored());
        QVERIFY(log.contains(Level::error, "Failed to update Example: Homebrew command failed to execute"));
        QVERIFY(!result.success);
        QCOMPARE(result.error.value_or(QString()), QStringLiteral("Homebrew command failed to execute"));
        verifyIdle();
    }

    void sparkleRun()
    {
        m_sparkle->onUpdate = [](const std::shared_ptr<Application>&,
                                 const SparkleService::ProgressHandler& progress) {
            progress("Checking for updates...", 0.1);
            progress("Downloading update...", 0.4);
            progress("Extracting update...", 0.7);
            progress("Installing update...", 0.9);
            progress("Update completed successfully", 1.0);
        };
        Recorder recorder(m_service.get());
        const Update::Result result =
            m_service->updateApplication(app(offer(Update::Source::sparkle)), recorder.handler());
        compareValues(recorder.values(),
                      {{Status::queued, 0.0, "Starting update... (this may take a moment)", 0},
                       {Status::downloading, 0.1, "Starting Sparkle update... (this may take a moment)", 0},
                       {Status::downloading, 0.1, "Checking for updates...", 0},
                       {Status::downloading, 0.4, "Downloading update...", 0},
                       {Status::downloading, 0.7, "Extracting update...", 0},
                       {Status::installing, 0.9, "Installing update...", 0},
                       {Status::completed, 1.0, "Update completed successfully", 0},
                       {Status::completed, 1.0, "Update completed successfully", 0}});
        QVERIFY(result.success);
        QCOMPARE(m_sparkle->calls(), QStringList{"update com.example.app"});
    }

    void appStoreRunUsesTheUpdatesRecord()
    {
        m_mas->onUpgrade = [](const QString&, const LineHandler& onLine) {
            onLine("Downloading Example", 0.3);
        };
        Recorder recorder;
        const Update::Result result = m_service->updateApplication(
            app(offer(Update::Source::appStore, exampleMAS())), recorder.handler());
        QVERIFY(result.success);
        QCOMPARE(m_mas->calls(), QStringList{"upgrade 42"});
        compareValues(recorder.values(),
                      {{Status::queued, 0.0, "Starting update... (this may take a moment)", 0},
                       {Status::downloading, 0.3, "Downloading Example", 0},
                       {Status::completed, 1.0, "Update completed successfully", 0}});
    }

    void failurePaths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("other source") << "other"
                                      << "Update source is not supported";
        QTest::newRow("Homebrew without the application's cask") << "brew"
                                                                 << "Missing Homebrew cask information";
        QTest::newRow("store without the update's record") << "store"
                                                           << "Missing App Store information";
        QTest::newRow("Sparkle adapter fails") << "sparkle"
                                               << "Failed to trigger Sparkle update";
        // Kept from a feed while Homebrew took the application over: never installed by the feed.
        QTest::newRow("source the application has left")
            << "left"
            << "The source that offered this update no longer manages this application; check for "
               "updates again";
    }
    void failurePaths()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        std::shared_ptr<Application> application;
        if (kind == "other")
            application = app(offer(Update::Source::other));
        else if (kind == "brew") // the update's own cask payload does not count
            application = app(offer(Update::Source::homebrew, std::nullopt, exampleCask()));
        else if (kind == "store") // nor does the application's store record
            application = app(offer(Update::Source::appStore), std::nullopt, exampleMAS());
        else if (kind == "left") {
            application = app(offer(Update::Source::sparkle), exampleCask());
            application->setSource({Source::homebrew});
        } else {
            application = app(offer(Update::Source::sparkle));
            m_sparkle->onUpdate = [](const auto&, const auto&) {
                throw NorvelleError::sparkleUpdateFailed();
            };
        }
        Recorder recorder;
        LogCapture log;
        const Update::Result result = m_service->updateApplication(application, recorder.handler());
        QVERIFY(!result.success);
        QCOMPARE(result.error.value_or(QString()), message);
        QCOMPARE(recorder.values().first().status, Status::queued);
        QCOMPARE(recorder.values().last().status, Status::failed);
        QCOMPARE(recorder.values().last().currentStep, message);
        QCOMPARE(recorder.values().size(), kind == "sparkle" ? 3 : 2);
        QVERIFY(log.contains(Level::error, "Failed to update Example: " + message));
        QVERIFY(m_brew->calls().isEmpty() && m_mas->calls().isEmpty());
        verifyIdle();
    }

    void noUpdateIsRefused()
    {
        Recorder recorder;
        LogCapture log;
        QVERIFY_THROWS_EXCEPTION(NorvelleError,
                                 m_service->updateApplication(app(std::nullopt), recorder.handler()));
        QVERIFY(recorder.values().isEmpty());
        QVERIFY(log.lines().isEmpty());
    }

    // While one run of a bundle awaits its adapter, a second run of the same bundle identifier
    // (through another object) is refused at once and does not disturb the first.
    void secondRunOfTheSameBundleIsRefused()
    {
        TestGate gate;
        m_brew->onUpgradeCask = [&](const QString&, const LineHandler& progress) {
            progress("==> Downloading example", 0.3);
            gate.pass();
            progress("example was successfully upgraded!", 1.0);
        };
        Recorder first(m_service.get());
        auto running = std::async(std::launch::async, [&] {
            return m_service->updateApplication(app(offer(Update::Source::homebrew), exampleCask()),
                                                first.handler());
        });
        const ScopeExit freeRun([&] { gate.open(); }); // a failed check must not leave the run waiting
        QTRY_COMPARE(gate.arrivals(), 1);
        QCOMPARE(m_service->activeUpdates(), QSet<QString>{"com.example.app"});

        Recorder second;
        try {
            m_service->updateApplication(app(offer(Update::Source::homebrew), exampleCask()),
                                         second.handler());
            QFAIL("a second run of a running bundle must be refused");
        } catch (const NorvelleError& error) {
            QCOMPARE(error.errorCase(), NorvelleError::Case::updateAlreadyInProgress);
        }
        QVERIFY(second.values().isEmpty());
        QCOMPARE(m_service->currentProgress("com.example.app")->currentStep,
                 QStringLiteral("==> Downloading example"));

        gate.open();
        QVERIFY(running.get().success);
        QCOMPARE(first.values().size(), 4);
        verifyIdle();
        m_brew->onUpgradeCask = nullptr;
        QVERIFY(m_service
                    ->updateApplication(app(offer(Update::Source::homebrew), exampleCask()), second.handler())
                    .success);
    }

    // The two output readers of a Homebrew run call back at the same time; the handler must
    // still see one value at a time, each stored first, with the output growing by one line.
    void readersNeverInterleave()
    {
        constexpr int linesPerReader = 1000;
        m_brew->onUpgradeCask = [](const QString&, const LineHandler& progress) {
            std::latch start(2);
            auto reader = [&progress, &start](const QString& prefix) {
                start.arrive_and_wait();
                for (int i = 0; i < linesPerReader; ++i)
                    progress(prefix + QString::number(i), 0.5);
            };
            std::thread standardError(reader, QStringLiteral("err "));
            reader(QStringLiteral("out "));
            standardError.join();
        };
        std::atomic<int> inside = 0;
        std::atomic<bool> overlapped = false;
        std::atomic<bool> stored = true;
        QList<UpdateProgress> values;
        const UpdateService::ProgressHandler handler = [&](const UpdateProgress& value) {
            if (inside.fetch_add(1) != 0)
                overlapped = true;
            const std::optional<UpdateProgress> current = m_service->currentProgress("com.example.app");
            if (!current || current->id != value.id)
                stored = false;
            std::this_thread::yield(); // widens the window in which an overlap would show
            values.append(value);      // unguarded on purpose: only safe when calls never overlap
            inside.fetch_sub(1);
        };
        QVERIFY(m_service->updateApplication(app(offer(Update::Source::homebrew), exampleCask()), handler)
                    .success);
        QVERIFY(!overlapped);
        QVERIFY(stored);
        QCOMPARE(values.size(), 2 * linesPerReader + 2);
        for (int i = 1; i <= 2 * linesPerReader; ++i) {
            QCOMPARE(values.at(i).brewOutput.size(), i);
            QCOMPARE(values.at(i).brewOutput.last(), values.at(i).currentStep);
            QCOMPARE(values.at(i).brewOutput.mid(0, i - 1), values.at(i - 1).brewOutput);
        }
    }

    void batch()
    {
        m_brew->onUpgradeCask = [](const QString& token, const LineHandler&) {
            if (token == "c")
                throw NorvelleError::brewCommandFailed();
        };
        Cask a = exampleCask();
        a.caskName = "a";
        Cask c = exampleCask();
        c.caskName = "c";
        const QList<std::shared_ptr<Application>> applications{
            app(offer(Update::Source::homebrew), a, std::nullopt, "A", "com.example.a"),
            app(std::nullopt, std::nullopt, std::nullopt, "B", "com.example.b"),
            app(offer(Update::Source::homebrew), c, std::nullopt, "C", "com.example.c")};
        Recorder recorder;
        LogCapture log;
        const QList<Update::Result> results = m_service->updateAll(applications, recorder.handler());

        QCOMPARE(results.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(results.at(i).application == applications.at(i));
        QVERIFY(results.at(0).success);
        QVERIFY(!results.at(1).success);
        QCOMPARE(*results.at(1).error, QStringLiteral("No update available for this application"));
        QVERIFY(!results.at(2).success);
        QCOMPARE(*results.at(2).error, QStringLiteral("Homebrew command failed to execute"));
        QStringList lines;
        for (const auto& [level, text] : log.lines())
            lines << text;
        QCOMPARE(lines, (QStringList{"Updating 3 applications", "Updating A via homebrew",
                                     "Successfully updated A", "Updating C via homebrew",
                                     "Failed to update C: Homebrew command failed to execute",
                                     "Update batch complete: 1/3 successful"}));
        for (const UpdateProgress& value : recorder.values())
            QVERIFY(value.application != applications.at(1));
    }

    void emptyBatch()
    {
        LogCapture log;
        QVERIFY(m_service->updateAll({}, {}).isEmpty());
        QCOMPARE(log.lines().size(), 2);
        QVERIFY(log.contains(Level::info, "Updating 0 applications"));
        QVERIFY(log.contains(Level::info, "Update batch complete: 0/0 successful"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateExecution)
#include "tst_updateexecution.moc"
