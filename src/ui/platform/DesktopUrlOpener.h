#pragma once

#include "platform/UrlOpener.h"

namespace norvelle {

// Opens URLs through the desktop's handlers (QDesktopServices).
class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
};

} // namespace norvelle
