#pragma once

#include <QUrl>

class QWidget;

namespace norvelle {

class Clipboard;
class UrlOpener;

// Which addresses the detail pane hands to the desktop: web pages over http and https, and
// the App Store's own scheme. Addresses come from outside (a cask's homepage), and a desktop
// would happily open a file or run a handler for anything else.
class LinkPolicy {
public:
    static bool isOpenable(const QUrl& url);
    // Opens an openable address through `opener`; anything else is logged and ignored. When the
    // desktop does not open the address (it refuses it, or its opener fails later), the user is
    // told over `parent`'s window, with the address to copy. True when the address was handed on.
    static bool open(QWidget* parent, UrlOpener* opener, const QUrl& url, Clipboard* clipboard = nullptr);
    // The same for addresses that need no policy (our own fixed pages): the failure alert only.
    static bool openTrusted(QWidget* parent, UrlOpener* opener, const QUrl& url, Clipboard* clipboard = nullptr);
};

} // namespace norvelle
