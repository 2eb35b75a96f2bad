#include "ui/detail/LinkPolicy.h"

#include "platform/UrlOpener.h"
#include "platform/Logger.h"

namespace norvelle {

bool LinkPolicy::isOpenable(const QUrl& url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return !url.host().isEmpty();
    return scheme == QLatin1String("macappstore") || scheme == QLatin1String("itms-apps");
}

void LinkPolicy::open(UrlOpener* opener, const QUrl& url)
{
    if (!isOpenable(url)) {
        Logger::warning(QStringLiteral("Refusing to open link: ") + url.toString());
        return;
    }
    if (opener)
        opener->openUrl(url);
}

} // namespace norvelle
