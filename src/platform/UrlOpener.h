#pragma once

#include <QUrl>

namespace norvelle {

// Hands a URL to the desktop (browser, settings pane, file manager). Called on
// the main thread.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // True when the desktop accepted the URL.
    virtual bool openUrl(const QUrl& url) = 0;

protected:
    UrlOpener() = default;
    UrlOpener(const UrlOpener&) = default;
    UrlOpener& operator=(const UrlOpener&) = default;
};

} // namespace norvelle
