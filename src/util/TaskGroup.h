#pragma once

#include "util/Async.h"

#include <QThreadPool>

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <vector>

namespace norvelle {

// Runs children in parallel on a bounded pool and collects their results.
//
// - A child starts on a free pool thread; when the pool is full it runs inline on the thread
//   that adds it (caller-runs), so a child that itself waits on a group can never deadlock the
//   pool. With Overflow::queue it waits in the pool's queue instead, which keeps the pool
//   full; only for pools whose tasks never wait for other tasks of the same pool
//   (networkPool).
// - Results are collected in completion order.
// - waitAll() returns only after every child has ended; if any threw, it then rethrows the
//   first error (by completion), after the other children have ended too.
// - The first error requests stop on the group's token, which children receive when they take
//   a std::stop_token; a stop requested on the parent token passed at construction reaches them
//   too. Nothing is stopped implicitly otherwise.
// - The destructor waits for all children (requesting stop first if the scope is left by an
//   exception), so children may capture the caller's locals by reference.
//
// add() and waitAll() are called from the thread that owns the group. Own groups on worker
// threads: a group owned by the main thread blocks it, and a child that then hops to the main
// thread (invokeOnMain) would wait forever.
enum class Overflow { runInline, queue };

template <typename T> class TaskGroup {
public:
    explicit TaskGroup(QThreadPool& pool = ioPool(), std::stop_token parent = {},
                       Overflow overflow = Overflow::runInline)
        : m_pool(pool), m_overflow(overflow), m_state(std::make_shared<State>()),
          m_exceptionsAtStart(std::uncaught_exceptions())
    {
        if (parent.stop_possible())
            m_parentLink.emplace(parent, ParentStop{m_state});
    }

    ~TaskGroup()
    {
        if (std::uncaught_exceptions() > m_exceptionsAtStart)
            m_state->stop.request_stop();
        waitForChildren();
    }

    TaskGroup(const TaskGroup&) = delete;
    TaskGroup& operator=(const TaskGroup&) = delete;

    // The token the group's children see.
    std::stop_token stopToken() const { return m_state->stop.get_token(); }

    // Adds one child: a callable taking either nothing or a std::stop_token, returning T.
    template <typename F> void add(F&& child)
    {
        // A thread ioPool makes from a lowered thread would keep its lower share for the tools it runs.
        Q_ASSERT(&m_pool != &ioPool() || !inBackground());
        {
            std::lock_guard lock(m_state->mutex);
            ++m_state->running;
        }
        // Shared so that move-only children fit into the pool's copyable std::function.
        auto task = std::make_shared<Child<std::decay_t<F>>>(m_state, std::forward<F>(child));
        if (m_overflow == Overflow::queue)
            m_pool.start([task] { task->run(); });
        else if (!m_pool.tryStart([task] { task->run(); }))
            task->run();
    }

    // Waits for every child, then returns the results in completion order or rethrows the
    // first error.
    auto waitAll()
    {
        waitForChildren();
        std::lock_guard lock(m_state->mutex);
        if (m_state->firstError)
            std::rethrow_exception(m_state->firstError);
        if constexpr (!std::is_void_v<T>)
            return std::move(m_state->results);
    }

private:
    struct Empty {};
    using Results = std::conditional_t<std::is_void_v<T>, Empty, std::vector<T>>;

    struct State {
        std::mutex mutex;
        std::condition_variable allEnded;
        int running = 0;
        Results results;
        std::exception_ptr firstError;
        std::stop_source stop;
    };

    struct ParentStop {
        std::shared_ptr<State> state;
        void operator()() const { state->stop.request_stop(); }
    };

    template <typename F> struct Child {
        template <typename G>
        Child(std::shared_ptr<State> s, G&& g) : state(std::move(s)), fn(std::forward<G>(g))
        {
        }
        void run() { runChild(*state, fn); }
        std::shared_ptr<State> state;
        F fn;
    };

    template <typename F> static void runChild(State& state, F& fn)
    {
        std::exception_ptr error;
        [[maybe_unused]] std::conditional_t<std::is_void_v<T>, Empty, std::optional<T>> value;
        try {
            if constexpr (std::is_void_v<T>) {
                invokeChild(state, fn);
            } else {
                value.emplace(invokeChild(state, fn));
            }
        } catch (...) {
            error = std::current_exception();
        }
        bool first = false;
        {
            std::lock_guard lock(state.mutex);
            if (error && !state.firstError) {
                state.firstError = error;
                first = true;
            }
            if constexpr (!std::is_void_v<T>) {
                if (value)
                    state.results.push_back(std::move(*value));
            }
        }
        // Outside the lock: stop callbacks run synchronously and may be anything.
        if (first)
            state.stop.request_stop();
        // The child counts as ended only now, so the owner never returns before its stop request.
        std::lock_guard lock(state.mutex);
        --state.running;
        state.allEnded.notify_all();
    }

    template <typename F> static decltype(auto) invokeChild(State& state, F& fn)
    {
        if constexpr (std::is_invocable_v<F&, std::stop_token>)
            return fn(state.stop.get_token());
        else
            return fn();
    }

    void waitForChildren()
    {
        std::unique_lock lock(m_state->mutex);
        m_state->allEnded.wait(lock, [this] { return m_state->running == 0; });
    }

    QThreadPool& m_pool;
    Overflow m_overflow;
    std::shared_ptr<State> m_state;
    int m_exceptionsAtStart;
    std::optional<std::stop_callback<ParentStop>> m_parentLink;
};

} // namespace norvelle
