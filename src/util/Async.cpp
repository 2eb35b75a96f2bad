#include "util/Async.h"

#include "util/Error.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace norvelle {

namespace {

// One cross-thread call waiting for the main thread. It ends exactly once: done (fn ran) or
// cancelled (the loop ended, or the posted event was discarded before it ran).
struct MainCall {
    enum class State { pending, running, done, cancelled };
    std::mutex mutex;
    std::condition_variable changed;
    State state = State::pending;
    std::exception_ptr error;
    std::function<void()> fn;

    void cancelIfPending()
    {
        {
            std::lock_guard lock(mutex);
            if (state != State::pending)
                return;
            state = State::cancelled;
        }
        changed.notify_all();
    }
};

// Whether a QCoreApplication is alive and still running (or yet to run) its loop. Guarded so
// that a worker never posts to an application that is being destroyed.
std::mutex g_appMutex;
bool g_appAlive = false;
bool g_loopEnded = false;
std::set<std::shared_ptr<MainCall>> g_pending;

void cancelPendingLocked()
{
    for (const auto& call : g_pending)
        call->cancelIfPending();
}

// The calls of postToMainInTurn, and whether a drain of them is on its way to the main thread.
struct TurnQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
    bool drainPosted = false;
};

TurnQueue& turns()
{
    static TurnQueue* const queue = new TurnQueue; // used until the very end; never destroyed
    return *queue;
}

// How long one drain runs before it lets the main thread's other events through.
constexpr auto turnSlice = std::chrono::milliseconds(4);

void drainTurns()
{
    const auto start = std::chrono::steady_clock::now();
    TurnQueue& queue = turns();
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(queue.mutex);
            if (queue.calls.empty()) {
                queue.drainPosted = false;
                return;
            }
            if (std::chrono::steady_clock::now() - start >= turnSlice)
                break;
            call = std::move(queue.calls.front());
            queue.calls.pop_front();
        }
        call();
    }
    // The rest after the events that came meanwhile.
    postToMain(&drainTurns);
}

// Drops the queued calls (outside every lock: dropping one may answer a question it carried).
void dropTurns()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(turns().mutex);
        dropped.swap(turns().calls);
        turns().drainPosted = false;
    }
}

void onLoopEnded()
{
    {
        std::lock_guard lock(g_appMutex);
        g_loopEnded = true;
        cancelPendingLocked();
    }
    dropTurns();
}

void onApplicationGone()
{
    {
        std::lock_guard lock(g_appMutex);
        g_appAlive = false;
        g_loopEnded = true;
        cancelPendingLocked();
    }
    dropTurns();
}

void onApplicationCreated()
{
    {
        std::lock_guard lock(g_appMutex);
        g_appAlive = true;
        g_loopEnded = false;
    }
    QCoreApplication* app = QCoreApplication::instance();
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, &onLoopEnded);
    qAddPostRoutine(&onApplicationGone);
}

// Cancels the call when the posted event is destroyed without having run (the application
// went away with the event still queued).
struct DiscardGuard {
    explicit DiscardGuard(std::shared_ptr<MainCall> c) : call(std::move(c)) {}
    ~DiscardGuard() { call->cancelIfPending(); }
    DiscardGuard(const DiscardGuard&) = delete;
    DiscardGuard& operator=(const DiscardGuard&) = delete;
    std::shared_ptr<MainCall> call;
};

void runOnMain(MainCall& call)
{
    {
        std::lock_guard lock(call.mutex);
        if (call.state != MainCall::State::pending)
            return;
        call.state = MainCall::State::running;
    }
    std::exception_ptr error;
    try {
        call.fn();
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(call.mutex);
        call.error = error;
        call.state = MainCall::State::done;
    }
    call.changed.notify_all();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(onApplicationCreated)

QThreadPool& ioPool()
{
    // Deliberately leaked: destroying a pool joins its threads, and quitting must not wait
    // for a tool or a download.
    static QThreadPool* const pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(32);
        return p;
    }();
    return *pool;
}

namespace {
std::atomic<bool> g_backgroundWork{false};
thread_local bool t_decided = false;
thread_local bool t_lowered = false;
} // namespace

void beginBackgroundWork()
{
    g_backgroundWork.store(true, std::memory_order_release);
}

bool backgroundWorkBegun()
{
    return g_backgroundWork.load(std::memory_order_acquire);
}

int backgroundNiceness()
{
#if defined(__linux__)
    // Relative to the main thread's share (the one whose id is the process's), which is never
    // lowered: an absolute value put the threads of a process started at nice 10 level with it.
    static constexpr int lowered = 10, lowest = 19;
    static const int niceness = [] {
        errno = 0;
        const int main = ::getpriority(PRIO_PROCESS, id_t(::getpid()));
        return errno != 0 ? lowered : std::min(lowest, main + lowered);
    }();
    return niceness;
#else
    return 10;
#endif
}

void enterBackground()
{
    if (t_decided || !g_backgroundWork.load(std::memory_order_acquire))
        return;
    t_decided = true;
#if defined(__linux__)
    if (!isMainThread())
        t_lowered = ::setpriority(PRIO_PROCESS, id_t(::gettid()), backgroundNiceness()) == 0;
#endif
}

bool inBackground()
{
    return t_lowered;
}

void BackgroundPool::start(std::function<void()> task, int priority)
{
    QThreadPool::start(
        [task = std::move(task)] {
            enterBackground();
            task();
        },
        priority);
}

bool BackgroundPool::tryStart(std::function<void()> task)
{
    return QThreadPool::tryStart([task = std::move(task)] {
        enterBackground();
        task();
    });
}

BackgroundPool& networkPool()
{
    // Leaked like ioPool, for the same reason.
    static BackgroundPool* const pool = [] {
        auto* p = new BackgroundPool;
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        p->setExpiryTimeout(30'000);
        return p;
    }();
    return *pool;
}

bool isMainThread()
{
    std::lock_guard lock(g_appMutex);
    if (!g_appAlive)
        return false;
    QCoreApplication* app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread();
}

bool mainLoopEnded()
{
    std::lock_guard lock(g_appMutex);
    return g_loopEnded;
}

void postToMain(std::function<void()> fn)
{
    std::lock_guard lock(g_appMutex);
    if (!g_appAlive || g_loopEnded)
        return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void postToMainInTurn(std::function<void()> fn)
{
    {
        std::lock_guard lock(g_appMutex);
        if (!g_appAlive || g_loopEnded)
            return; // fn goes once the lock is released
    }
    TurnQueue& queue = turns();
    {
        std::lock_guard lock(queue.mutex);
        queue.calls.push_back(std::move(fn));
        if (queue.drainPosted)
            return;
        queue.drainPosted = true;
    }
    postToMain(&drainTurns);
}

void detail::invokeOnMainBlocking(std::function<void()> fn)
{
    auto call = std::make_shared<MainCall>();
    call->fn = std::move(fn);
    {
        std::lock_guard lock(g_appMutex);
        if (!g_appAlive || g_loopEnded)
            throw CancelledError();
        g_pending.insert(call);
        auto guard = std::make_shared<DiscardGuard>(call);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [guard] { runOnMain(*guard->call); }, Qt::QueuedConnection);
    }
    MainCall::State endState;
    std::exception_ptr error;
    {
        std::unique_lock lock(call->mutex);
        call->changed.wait(lock, [&] {
            return call->state == MainCall::State::done || call->state == MainCall::State::cancelled;
        });
        endState = call->state;
        error = call->error;
    }
    {
        std::lock_guard lock(g_appMutex);
        g_pending.erase(call);
    }
    if (endState == MainCall::State::cancelled)
        throw CancelledError();
    if (error)
        std::rethrow_exception(error);
}

} // namespace norvelle
