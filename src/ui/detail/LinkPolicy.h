#pragma once

#include <QUrl>

namespace norvelle {

class UrlOpener;

// Which addresses the detail pane hands to the desktop: web pages over http and https, and
// the App Store's own scheme. Addresses come from outside (a cask's homepage), and a desktop
// would happily open a file or run a handler for anything else.
class LinkPolicy {
public:
    static bool isOpenable(const QUrl& url);
    // Opens an openable address through `opener`; anything else is logged and ignored.
    static void open(UrlOpener* opener, const QUrl& url);
};

} // namespace norvelle
