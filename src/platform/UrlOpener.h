#pragma once

#include <QObject>
#include <QUrl>
#include <functional>

namespace norvelle {

// Hands a URL to the desktop (browser, settings pane, file manager). Called on
// the main thread.
class UrlOpener {
public:
    // Whether the desktop opened the URL.
    using Outcome = std::function<void(bool opened)>;

    virtual ~UrlOpener() = default;

    // True when the desktop accepted the URL.
    virtual bool openUrl(const QUrl& url) = 0;

    // Hands a link to the desktop and tells `done`, on the main thread and once, whether it was
    // opened: at once where the desktop answers at once, else when the system's opener has
    // finished with it. `done` is dropped once `context` is gone. Never waits. By default the
    // answer is openUrl's.
    virtual void openLink(const QUrl& url, QObject* context, Outcome done)
    {
        const bool opened = openUrl(url);
        if (context)
            done(opened);
    }

protected:
    UrlOpener() = default;
    UrlOpener(const UrlOpener&) = default;
    UrlOpener& operator=(const UrlOpener&) = default;
};

} // namespace norvelle
