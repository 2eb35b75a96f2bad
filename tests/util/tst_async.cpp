#include "util/Async.h"
#include "util/TaskGroup.h"

#include "model/NorvelleError.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <latch>
#include <thread>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace norvelle;

namespace {

using Case = NorvelleError::Case;

// A worker thread that records when it is done, so the main thread can pump its loop meanwhile.
class Worker {
public:
    template <typename F>
    explicit Worker(F&& fn)
        : m_thread([this, work = std::forward<F>(fn)]() mutable {
              work();
              m_done = true;
          })
    {
    }
    ~Worker() { m_thread.join(); }
    bool done() const { return m_done; }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Swallows the queued calls sent to the application object, as if they were discarded.
class SwallowQueuedCalls : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return watched == QCoreApplication::instance() && event->type() == QEvent::MetaCall;
    }
};

} // namespace

class TestAsync : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void invokeOnMainFromMainRunsInline()
    {
        QThread* ranOn = nullptr;
        const int value = invokeOnMain([&] {
            ranOn = QThread::currentThread();
            return 42;
        });
        QCOMPARE(value, 42);
        QCOMPARE(ranOn, QThread::currentThread());
    }

    void invokeOnMainFromWorker()
    {
        QThread* ranOn = nullptr;
        int value = 0;
        bool voidRan = false;
        std::optional<Case> thrown;
        Worker worker([&] {
            value = invokeOnMain([&] {
                ranOn = QThread::currentThread();
                return 7;
            });
            invokeOnMain([&] { voidRan = true; });
            try {
                invokeOnMain([]() -> int { throw NorvelleError::masCommandFailed(); });
            } catch (const NorvelleError& e) {
                thrown = e.errorCase();
            }
        });
        QTRY_VERIFY(worker.done());
        QCOMPARE(ranOn, QCoreApplication::instance()->thread());
        QCOMPARE(value, 7);
        QVERIFY(voidRan);
        QCOMPARE(thrown, std::optional(Case::masCommandFailed));
    }

    // A queued call destroyed without running releases its waiting worker with CancelledError.
    void discardedCallIsCancelled()
    {
        SwallowQueuedCalls filter;
        QCoreApplication::instance()->installEventFilter(&filter);
        std::atomic<bool> ran{false};
        std::atomic<bool> cancelled{false};
        Worker worker([&] {
            try {
                invokeOnMain([&] { ran = true; });
            } catch (const CancelledError&) {
                cancelled = true;
            }
        });
        QTRY_VERIFY(worker.done());
        QCoreApplication::instance()->removeEventFilter(&filter);
        QVERIFY(cancelled);
        QVERIFY(!ran);
    }

    void postToMainQueues()
    {
        QThread* ranOn = nullptr;
        postToMain([&] { ranOn = QThread::currentThread(); });
        QCOMPARE(ranOn, nullptr);
        QTRY_COMPARE(ranOn, QThread::currentThread());

        std::atomic<int> count{0};
        Worker worker([&] {
            for (int i = 0; i < 100; ++i)
                postToMain([&] { ++count; });
        });
        QTRY_COMPARE(count.load(), 100);
    }

    // A burst of calls in turn runs in order, a few milliseconds' worth at a time, so the main
    // thread's other events get through in between instead of after the whole burst.
    void callsInTurnLetOtherEventsThrough()
    {
        constexpr int count = 50;
        std::vector<int> order;
        for (int i = 0; i < count; ++i)
            postToMainInTurn([&order, i] {
                order.push_back(i);
                const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
                while (std::chrono::steady_clock::now() < until) {
                }
            });
        int ranBeforeTheOtherEvent = -1;
        QTimer::singleShot(0, this, [&] { ranBeforeTheOtherEvent = int(order.size()); });
        QTRY_COMPARE(int(order.size()), count);
        QVERIFY(std::is_sorted(order.begin(), order.end()));
        QVERIFY2(ranBeforeTheOtherEvent > 0 && ranBeforeTheOtherEvent < count,
                 qPrintable(QString::number(ranBeforeTheOtherEvent)));
    }

    void runAsyncContinuesOnMain()
    {
        QObject context;
        QThread* workOn = nullptr;
        QThread* continuedOn = nullptr;
        int result = 0;
        runAsync([&] {
            workOn = QThread::currentThread();
            return 5;
        }).then(&context, [&](int value) {
            continuedOn = QThread::currentThread();
            result = value;
        });
        QTRY_COMPARE(result, 5);
        QVERIFY(workOn != QThread::currentThread());
        QCOMPARE(continuedOn, QThread::currentThread());
    }

    void runAsyncKeepsTheErrorType()
    {
        QObject context;
        std::optional<Case> caught;
        QFuture<int> future = runAsync([]() -> int { throw NorvelleError::brewNotInstalled(); });
        future.then(&context, [](int v) { return v; }).onFailed(&context, [&](const NorvelleError& e) {
            caught = e.errorCase();
            return 0;
        });
        QTRY_COMPARE(caught, std::optional(Case::brewNotInstalled));
        QVERIFY_THROWS_EXCEPTION(NorvelleError, future.result());

        bool ran = false;
        QFuture<void> done = runAsync([&] { ran = true; });
        done.waitForFinished();
        QVERIFY(ran);
    }

    // With a one-thread pool busy, later children run on the adding thread; results come in
    // the order the children finish.
    void taskGroupCallerRunsAndCompletionOrder()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(1);
        std::latch release(1);
        QThread* const self = QThread::currentThread();
        TaskGroup<QString> group(pool);
        group.add([&] {
            release.wait();
            return QThread::currentThread() == self ? QStringLiteral("slow inline") : QStringLiteral("slow");
        });
        group.add([&] {
            return QThread::currentThread() == self ? QStringLiteral("b") : QStringLiteral("b pooled");
        });
        group.add([&] {
            return QThread::currentThread() == self ? QStringLiteral("c") : QStringLiteral("c pooled");
        });
        release.count_down();
        QCOMPARE(group.waitAll(), (std::vector<QString>{"b", "c", "slow"}));
    }

    void taskGroupRethrowsFirstErrorAfterAllEnd()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(1);
        std::atomic<bool> slowEnded{false};
        TaskGroup<int> group(pool);
        group.add([&](std::stop_token stop) {
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait(lock, stop, [] { return false; });
            slowEnded = true;
            return 1;
        });
        group.add([]() -> int { throw NorvelleError::brewCommandFailed(); });
        group.add([]() -> int { throw NorvelleError::masCommandFailed(); });
        group.add([] { return 2; });
        try {
            group.waitAll();
            QFAIL("no error");
        } catch (const NorvelleError& e) {
            QVERIFY(slowEnded);
            QCOMPARE(e.errorCase(), Case::brewCommandFailed);
        }
    }

    void taskGroupFollowsParentStop()
    {
        std::stop_source parent;
        TaskGroup<void> group(ioPool(), parent.get_token());
        std::latch started(1);
        group.add([&](std::stop_token stop) {
            started.count_down();
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait(lock, stop, [] { return false; });
        });
        started.wait();
        QVERIFY(!group.stopToken().stop_requested());
        parent.request_stop();
        group.waitAll();
        QVERIFY(group.stopToken().stop_requested());
    }

    // Every child of every group waits on a nested group: a small pool must not deadlock.
    void nestedGroupsOnAFullPool()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(2);
        std::atomic<int> leaves{0};
        std::atomic<int> results{0};
        {
            TaskGroup<void> outer(pool);
            for (int i = 0; i < 6; ++i)
                outer.add([&] {
                    TaskGroup<int> inner(pool);
                    for (int j = 0; j < 6; ++j)
                        inner.add([&, u = std::make_unique<int>(j)] {
                            ++leaves;
                            return *u;
                        });
                    results += int(inner.waitAll().size());
                });
            // Leaving the scope waits for the children without waitAll.
        }
        QCOMPARE(leaves.load(), 36);
        QCOMPARE(results.load(), 36);
    }

    void ioPoolIsFixed() { QCOMPARE(ioPool().maxThreadCount(), 32); }

#if defined(__linux__)
    // Run first, before any thread starts (threads take the share of the thread that starts
    // them): a few steps below the share the tests were started at, so that at nice 0 too a
    // lowered share counted from the main thread's differs from one fixed at 10.
    void initTestCase()
    {
        if (const int own = ::getpriority(PRIO_PROCESS, 0); own + 3 < 19)
            QCOMPARE(::setpriority(PRIO_PROCESS, id_t(::gettid()), own + 3), 0);
    }

    // Once a check begins, the network pool's tasks yield the processor to the main thread,
    // whose own share and whose ioPool threads stay as they were.
    void networkPoolRunsBelowTheMainThreadOnceChecking()
    {
        const auto niceness = [] { return ::getpriority(PRIO_PROCESS, id_t(::gettid())); };
        const auto onPool = [&](auto& pool) {
            std::promise<int> seen;
            pool.start([&] { seen.set_value(niceness()); });
            return seen.get_future().get();
        };
        const int mainNiceness = niceness();
        if (mainNiceness >= 19)
            QSKIP("the tests run at the lowest share already: no thread can go below the main thread");
        // Before the first check the catalogue the list waits for is read there at full share.
        QCOMPARE(onPool(networkPool()), mainNiceness);
        beginBackgroundWork();
        QCOMPARE(onPool(networkPool()), std::min(19, mainNiceness + 10));
        QCOMPARE(onPool(ioPool()), mainNiceness);
        QCOMPARE(niceness(), mainNiceness);
    }
#endif

    // Queued children fill the pool and the rest wait their turn; the adding thread stays free.
    void queuedChildrenKeepThePoolFull()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(3);
        std::mutex mutex;
        std::condition_variable changed;
        int running = 0;
        bool poolFilled = false;
        std::atomic<bool> onCaller{false};
        const auto caller = std::this_thread::get_id();
        TaskGroup<void> group(pool, {}, Overflow::queue);
        for (int i = 0; i < 12; ++i)
            group.add([&] {
                onCaller = onCaller || std::this_thread::get_id() == caller;
                std::unique_lock lock(mutex);
                poolFilled = poolFilled || ++running == 3;
                changed.notify_all();
                changed.wait_for(lock, std::chrono::seconds(5), [&] { return poolFilled; });
                --running;
            });
        group.waitAll();
        QVERIFY(!onCaller);
        QVERIFY(poolFilled);
    }
};

QTEST_GUILESS_MAIN(TestAsync)
#include "tst_async.moc"
