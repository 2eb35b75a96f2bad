#include "ui/detail/LinkPolicy.h"

#include "platform/UrlOpener.h"
#include "platform/Logger.h"
#include "ui/main/components/ActionFailureAlert.h"

#include <QCoreApplication>
#include <QPointer>
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
    // The answer may come later, once the system's opener has finished: the alert then goes
    // over the window the link was in, if that is still open.
    QPointer<QWidget> where(parent);
    QObject* context = parent ? static_cast<QObject*>(parent) : QCoreApplication::instance();
    opener->openLink(url, context, [where, url, clipboard](bool opened) {
        if (opened)
            return;
        Logger::warning(QStringLiteral("Could not open link: ") + url.toString(QUrl::FullyEncoded));
        ActionFailureAlert::open(where ? where->window() : nullptr, ActionFailureAlert::linkFailure(url),
                                 clipboard);
    });
    return true;
}

} // namespace norvelle
