#include "FakeUrlOpener.h"

namespace norvelle::test {

bool FakeUrlOpener::openUrl(const QUrl& url)
{
    m_opened.append(url);
    return m_accepts;
}

} // namespace norvelle::test
