#include "ui/platform/DesktopUrlOpener.h"

#include <QDesktopServices>

namespace norvelle {

bool DesktopUrlOpener::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace norvelle
