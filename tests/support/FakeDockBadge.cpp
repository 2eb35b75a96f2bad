#include "FakeDockBadge.h"

namespace norvelle::test {

void FakeDockBadge::setCount(std::optional<int> count)
{
    m_calls.append(count);
}

QString FakeDockBadge::label() const
{
    if (m_calls.isEmpty() || !m_calls.constLast().has_value()) {
        return {};
    }
    return QString::number(*m_calls.constLast());
}

} // namespace norvelle::test
