#pragma once

#include "util/Error.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace norvelle {

// The pool for blocking work (tool runs, HTTP requests, file scans): a fixed 32 threads,
// whatever the core count, because its threads mostly wait. It is never destroyed, so quitting
// does not join it. Work that a pool task waits for must not be queued on this pool
// (TaskGroup runs such children inline when the pool is full).
QThreadPool& ioPool();

// Lowers the calling thread's share of the processor, once, below the main thread's (by 10 nice
// steps on Linux, as far as 19): during a check the network threads and the network pool keep
// every core busy, and the main thread, woken for a frame, waited behind them for up to 30 ms.
// Never changes the main thread. Threads and programs started from a marked thread inherit its share, so marked
// threads start neither tools nor work on ioPool.
// Does nothing before the first update check (beginBackgroundWork): until then the marked
// threads fetch and read the catalogue the list waits for, and on a busy machine a lowered
// thread lost up to 45 ms of it to the other programs. A lowered thread cannot be raised again.
void enterBackground();
// From now on enterBackground lowers the threads that call it. Called when a check begins.
void beginBackgroundWork();
// Whether beginBackgroundWork has been called: the tools then run at the lowered threads' share.
bool backgroundWorkBegun();
// The nice value of a lowered thread: below the main thread's share, whatever share the process
// was started at; no lower than the main thread only where that is already the lowest (19).
int backgroundNiceness();
// Whether enterBackground has lowered the calling thread.
bool inBackground();

// A pool whose threads call enterBackground before each task.
class BackgroundPool : public QThreadPool {
public:
    void start(std::function<void()> task, int priority = 0);
    bool tryStart(std::function<void()> task);
};

// The pool on which web requests hand over their answers (HttpClient::getAsync) and the update
// check's per-application steps run: one thread per core (at least two), marked as background
// work. Its tasks only compute and start more requests; they never wait for the network, the
// main thread or other work of this pool, so a waiting request holds none of its threads and
// more threads than cores would only crowd the main thread. Kept apart from ioPool so a check
// never starves the Homebrew and App Store loads.
BackgroundPool& networkPool();

// True on the thread of the QCoreApplication; false when there is none.
bool isMainThread();

// Whether the application's event loop has ended, as it does when the user quits: what is
// cancelled from then on was ended by quitting.
bool mainLoopEnded();

// Queues fn to run on the main thread and returns at once. When the application is gone the
// call is dropped; when the loop ends before it runs, it never runs.
void postToMain(std::function<void()> fn);

// Like postToMain, for calls that come in bursts (the update drivers' messages of a check of
// thousands of applications): the calls queued this way run in the order they were queued, a
// few milliseconds' worth at a time, with the main thread's other events (painting, input) in
// between, so a burst never holds the main thread for long. Calls still queued when the loop
// ends never run; they are dropped then.
void postToMainInTurn(std::function<void()> fn);

namespace detail {
// Runs fn on the main thread and waits for it; rethrows what fn threw. Throws CancelledError
// when there is no application or its event loop has ended (or ends while waiting).
void invokeOnMainBlocking(std::function<void()> fn);
} // namespace detail

// Runs fn on the main thread and returns its result: inline when called there, else posted and
// waited for. An exception from fn reaches the caller. After the event loop has ended, a call
// from another thread throws CancelledError instead of waiting for a loop that never comes.
template <typename F> auto invokeOnMain(F&& fn) -> std::invoke_result_t<F&>
{
    using R = std::invoke_result_t<F&>;
    if (isMainThread())
        return fn();
    if constexpr (std::is_void_v<R>) {
        detail::invokeOnMainBlocking([&fn] { fn(); });
    } else {
        std::optional<R> result;
        detail::invokeOnMainBlocking([&fn, &result] { result.emplace(fn()); });
        return std::move(*result);
    }
}

// Runs fn on the I/O pool and returns its future. An exception from fn is stored as it was
// thrown, so future.result() and onFailed(const SomeError&) see the original type. View models
// continue on the main thread with `future.then(this, ...)`. Cancellation is the caller's own
// std::stop_source captured in fn; the future itself never stops the work.
template <typename F> auto runAsync(F&& fn) -> QFuture<std::invoke_result_t<std::decay_t<F>&>>
{
    using R = std::invoke_result_t<std::decay_t<F>&>;
    auto promise = std::make_shared<QPromise<R>>();
    QFuture<R> future = promise->future();
    promise->start();
    Q_ASSERT(!inBackground()); // see TaskGroup::add
    ioPool().start([promise, work = std::decay_t<F>(std::forward<F>(fn))]() mutable {
        try {
            if constexpr (std::is_void_v<R>)
                work();
            else
                promise->addResult(work());
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

} // namespace norvelle
