#include "util/Async.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <future>
#include <thread>

using namespace norvelle;
using namespace std::chrono_literals;

namespace {

enum class Outcome { ran, cancelled, otherError };

// Calls invokeOnMain from a fresh thread; the future tells how that call ended. The thread is
// detached so that a call that never returns fails the test instead of hanging it.
std::future<Outcome> callFromWorker()
{
    std::promise<Outcome> promise;
    std::future<Outcome> future = promise.get_future();
    std::thread([promise = std::move(promise)]() mutable {
        try {
            invokeOnMain([] {});
            promise.set_value(Outcome::ran);
        } catch (const CancelledError&) {
            promise.set_value(Outcome::cancelled);
        } catch (...) {
            promise.set_value(Outcome::otherError);
        }
    }).detach();
    return future;
}

} // namespace

// Runs the application's event loop once and ends it; the functions run in declaration order,
// so everything after the first one sees a loop that has ended.
class TestAsyncLoopEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A worker that calls while the loop is ending gets an answer either way; it never hangs.
    void callWhileTheLoopEnds()
    {
        std::future<Outcome> pending;
        QTimer::singleShot(0, qApp, [&pending] {
            pending = callFromWorker();
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
        QVERIFY(pending.valid());
        QCOMPARE(pending.wait_for(20s), std::future_status::ready);
        const Outcome outcome = pending.get();
        QVERIFY(outcome == Outcome::ran || outcome == Outcome::cancelled);
    }

    void callAfterTheLoopEndedThrows()
    {
        std::future<Outcome> call = callFromWorker();
        QCOMPARE(call.wait_for(20s), std::future_status::ready);
        QCOMPARE(call.get(), Outcome::cancelled);
    }

    void postAfterTheLoopEndedIsDropped()
    {
        bool ran = false;
        postToMain([&ran] { ran = true; });
        QCoreApplication::processEvents();
        QVERIFY(!ran);
    }

    void mainThreadStillRunsInline()
    {
        QCOMPARE(invokeOnMain([] { return 3; }), 3);
    }
};

QTEST_GUILESS_MAIN(TestAsyncLoopEnd)
#include "tst_async_loopend.moc"
