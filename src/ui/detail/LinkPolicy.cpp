#include "ui/detail/LinkPolicy.h"

#include "platform/UrlOpener.h"
#include "platform/Logger.h"
#include "ui/main/components/ActionFailureAlert.h"

#include <QWidget>

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

bool LinkPolicy::open(QWidget* parent, UrlOpener* opener, const QUrl& url, Clipboard* clipboard)
{
    if (!isOpenable(url)) {
        Logger::warning(QStringLiteral("Refusing to open link: ") + url.toString());
        return false;
    }
    return openTrusted(parent, opener, url, clipboard);
}

bool LinkPolicy::openTrusted(QWidget* parent, UrlOpener* opener, const QUrl& url, Clipboard* clipboard)
{
    if (!opener)
        return false;
    if (opener->openUrl(url))
        return true;
    Logger::warning(QStringLiteral("Could not open link: ") + url.toString(QUrl::FullyEncoded));
    ActionFailureAlert::open(parent ? parent->window() : nullptr, ActionFailureAlert::linkFailure(url), clipboard);
    return false;
}

} // namespace norvelle
