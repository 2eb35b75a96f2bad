#pragma once

#include "platform/UrlOpener.h"

#include <QList>
#include <QUrl>

namespace norvelle::test {

// Records every URL it is asked to open and answers with a set outcome.
class FakeUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;

    void setAccepts(bool accepts) { m_accepts = accepts; }
    QList<QUrl> opened() const { return m_opened; }

private:
    bool m_accepts = true;
    QList<QUrl> m_opened;
};

} // namespace norvelle::test
