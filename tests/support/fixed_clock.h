#pragma once

#include "platform/clock.h"

namespace kvx::test {

class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(9, 30)))
        : m_now(now) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};

} // namespace kvx::test
