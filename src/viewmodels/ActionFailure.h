#pragma once

#include <QFuture>
#include <QString>
#include <exception>

namespace norvelle {

// How view models read the end of the coordinator work they started: they never pass an
// error on, they log it and turn it into state.

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
