#include "FakeUrlOpener.h"

#include <QTimer>

namespace norvelle::test {

bool FakeUrlOpener::openUrl(const QUrl& url)
{
    m_opened.append(url);
    return m_accepts;
}

void FakeUrlOpener::openLink(const QUrl& url, QObject* context, Outcome done)
{
    if (!m_failsLater) {
        UrlOpener::openLink(url, context, std::move(done));
        return;
    }
    m_opened.append(url);
    QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
}

} // namespace norvelle::test
