#pragma once

#include "platform/UrlOpener.h"

#include <QList>
#include <QUrl>

namespace norvelle::test {

// Records every URL it is asked to open and answers with a set outcome.
class FakeUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
    // Links: as openUrl, or, when set to fail later, taken at once and reported as not opened on
    // the next turn of the event loop (an opener program that started and then failed).
    void openLink(const QUrl& url, QObject* context, Outcome done) override;

    void setAccepts(bool accepts) { m_accepts = accepts; }
    void setFailsLater(bool failsLater) { m_failsLater = failsLater; }
    QList<QUrl> opened() const { return m_opened; }

private:
    bool m_accepts = true;
    bool m_failsLater = false;
    QList<QUrl> m_opened;
};

} // namespace norvelle::test
