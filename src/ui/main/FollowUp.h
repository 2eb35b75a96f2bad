#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <functional>

namespace norvelle {

// Runs `next` on the main thread once `future` has ended, unless `context` is gone by then.
// (QFuture::then with a context asserts on Qt 6.4 when the context dies first.)
inline void followUp(QFuture<void> future, QObject* context, std::function<void()> next)
{
    auto* watcher = new QFutureWatcher<void>(context);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, watcher, [watcher, next = std::move(next)] {
        watcher->deleteLater();
        next();
    });
    watcher->setFuture(std::move(future));
}

} // namespace norvelle
