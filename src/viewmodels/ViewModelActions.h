#pragma once

#include "util/Async.h"

#include <QFuture>
#include <QPromise>
#include <QString>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace norvelle {

// How view models read the end of the coordinator work they started: they never pass an
// error on, they log it and turn it into state.

// Runs the blocking `fn` on the I/O pool (through runAsync) and ends the returned future on the
// main thread, behind every task that `fn` posted there before it returned (progress reports).
// A continuation attached with `.then(viewModel, …)` therefore sees the last report stored,
// and never runs inside the call that attaches it. When the event loop has ended, the future
// is cancelled instead.
template <typename F> auto runForMainThread(F&& fn) -> QFuture<std::invoke_result_t<std::decay_t<F>&>>
{
    using R = std::invoke_result_t<std::decay_t<F>&>;
    auto promise = std::make_shared<QPromise<R>>();
    QFuture<R> future = promise->future();
    promise->start();
    runAsync([promise, work = std::decay_t<F>(std::forward<F>(fn))]() mutable {
        std::exception_ptr error;
        if constexpr (std::is_void_v<R>) {
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            postToMain([promise, error] {
                if (error)
                    promise->setException(error);
                promise->finish();
            });
        } else {
            std::optional<R> result;
            try {
                result.emplace(work());
            } catch (...) {
                error = std::current_exception();
            }
            postToMain([promise, error, result = std::move(result)]() mutable {
                if (error)
                    promise->setException(error);
                else
                    promise->addResult(std::move(*result));
                promise->finish();
            });
        }
    });
    return future;
}

// What the finished future threw, or null when it ended normally.
template <typename T> std::exception_ptr failureOf(const QFuture<T>& future)
{
    try {
        QFuture<T>(future).waitForFinished();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// The user-facing description of a caught error.
QString failureDescription(const std::exception_ptr& error);

// A diagnostic rendering of a caught error: its type without namespace and its description,
// e.g. `CoordinatorError("No applications found. Please scan first.")`.
QString failureDetails(const std::exception_ptr& error);

// Logs "Failed to " + action + ": " + the error's description at level error and returns the
// description.
QString logActionFailure(const QString& action, const std::exception_ptr& error);

// The future of an action that had nothing to do.
QFuture<void> finishedAction();

} // namespace norvelle
