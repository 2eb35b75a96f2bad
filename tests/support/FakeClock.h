#pragma once

#include "platform/Clock.h"

#include <mutex>

namespace norvelle::test {

// A clock that stands still until the test moves it. Safe to read from any thread.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), Qt::UTC));

    QDateTime now() const override;
    void set(const QDateTime& time);
    void advance(qint64 seconds);

private:
    mutable std::mutex m_mutex;
    QDateTime m_now;
};

} // namespace norvelle::test
