#pragma once

#include "platform/DockBadge.h"

#include <QList>
#include <QString>

namespace norvelle::test {

// Records every badge write, so tests can tell "written again" from "not written".
class FakeDockBadge : public DockBadge {
public:
    void setCount(std::optional<int> count) override;

    QList<std::optional<int>> calls() const { return m_calls; }
    int callCount() const { return static_cast<int>(m_calls.size()); }
    // What the tile shows now: the count in decimal digits, or an empty text for no badge.
    QString label() const;
    void clear() { m_calls.clear(); }

private:
    QList<std::optional<int>> m_calls;
};

} // namespace norvelle::test
