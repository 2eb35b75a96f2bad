#include "model/Application.h"

#include <QTest>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace norvelle;
using Field = Application::Field;
using Source = Application::Source;

namespace {

constexpr int kWriters = 4;
constexpr int kWrites = 2000;

std::shared_ptr<Application> makeApplication()
{
    return Application::create(QStringLiteral("App"), QStringLiteral("com.example.app"),
                               QUrl::fromLocalFile(QStringLiteral("/Applications/App.app")),
                               QStringLiteral("start"), QList<Source>{});
}

// A snapshot is whole when every field holds a value one writer wrote in one piece.
bool isWhole(const Application::Snapshot& s)
{
    if (!s.source.isEmpty() &&
        std::count(s.source.begin(), s.source.end(), s.source.first()) != s.source.size())
        return false;
    if (s.update && s.update->lastUpdateError != s.update->latestVersion)
        return false;
    return s.currentVersion == QStringLiteral("start") || s.currentVersion.startsWith(QLatin1Char('w'));
}

} // namespace

class TestApplicationConcurrency : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void concurrentSettersKeepSnapshotsWhole()
    {
        const auto app = makeApplication();
        std::atomic<int> counts[8] = {};
        std::atomic<int> tornInCallback{0};
        const auto token = app->addObserver([&](Field f) {
            counts[int(f)].fetch_add(1);
            if (!isWhole(app->snapshot()))
                tornInCallback.fetch_add(1);
        });

        std::atomic<bool> done{false};
        int tornSnapshots = 0;
        int reads = 0;
        std::thread reader([&] {
            while (!done.load()) {
                if (!isWhole(app->snapshot()))
                    ++tornSnapshots;
                ++reads;
            }
        });
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&app, w] {
                for (int i = 0; i < kWrites; ++i) {
                    const QString tag = QStringLiteral("w%1-%2").arg(w).arg(i);
                    app->setCurrentVersion(tag);
                    // A writer's consecutive lists differ in length and other writers' in case,
                    // so every write changes the stored list.
                    app->setSource(QList<Source>(i % 3 + 1, Source(w)));
                    Update update{tag,
                                  std::nullopt,
                                  std::nullopt,
                                  Update::Source::other,
                                  Update::Status::available,
                                  std::nullopt,
                                  std::nullopt,
                                  std::nullopt,
                                  tag};
                    app->setUpdate(update);
                    (void)app->displayLatestVersion();
                }
            });
        }
        for (auto& writer : writers)
            writer.join();
        done = true;
        reader.join();

        QCOMPARE(tornSnapshots, 0);
        QCOMPARE(tornInCallback.load(), 0);
        QVERIFY(reads > 0);
        // Every write stored a value unequal to the one before it, so each notified exactly once.
        QCOMPARE(counts[int(Field::currentVersion)].load(), kWriters * kWrites);
        QCOMPARE(counts[int(Field::source)].load(), kWriters * kWrites);
        QCOMPARE(counts[int(Field::update)].load(), kWriters * kWrites);
        QCOMPARE(counts[int(Field::ignored)].load(), 0);
        const Application::Snapshot last = app->snapshot();
        QVERIFY(last.currentVersion.endsWith(QStringLiteral("-%1").arg(kWrites - 1)));
        QCOMPARE(app->currentVersion(), last.currentVersion);
    }

    void removedObserverIsNeverCalledAgain()
    {
        const auto app = makeApplication();
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            bool flag = false;
            while (!stop.load()) {
                flag = !flag;
                app->setIgnored(flag);
            }
        });
        std::atomic<int> lateCalls{0};
        std::atomic<int> calls{0};
        for (int round = 0; round < 2000; ++round) {
            // The callback reads an object that dies right after its token.
            auto alive = std::make_unique<std::atomic<bool>>(true);
            auto* flag = alive.get();
            auto token = app->addObserver([flag, &app, &lateCalls, &calls](Field) {
                calls.fetch_add(1);
                (void)app->snapshot(); // some work, so a removal can overlap the call
                if (!flag->load())
                    lateCalls.fetch_add(1);
            });
            if (round % 2 == 0)
                (void)app->skippedVersion(); // vary the timing a little
            token.reset();
            alive->store(false);
            alive.reset();
        }
        stop = true;
        writer.join();
        QCOMPARE(lateCalls.load(), 0);
    }

    void observersAddedAndRemovedWhileWriting()
    {
        auto app = makeApplication();
        std::atomic<int> calls{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kWriters; ++t) {
            threads.emplace_back([&app, &calls, t] {
                for (int i = 0; i < 200; ++i) {
                    auto token = app->addObserver([&calls](Field) { calls.fetch_add(1); });
                    app->setCurrentVersion(QStringLiteral("t%1-%2").arg(t).arg(i));
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        // Each thread's own observer was registered during its own write.
        QVERIFY(calls.load() >= kWriters * 200);
        app.reset();
    }
};

QTEST_GUILESS_MAIN(TestApplicationConcurrency)
#include "tst_applicationconcurrency.moc"
