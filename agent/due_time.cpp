#include "due_time.h"

#include "schedule/schedule.h"

#include <algorithm>

namespace kvx::DueTime {

namespace {

// Every frequency comes round within a year and a day.
constexpr int kLongestGap = 366;

int dayInMonth(int wanted, int year, int month) {
    return std::min(wanted, QDate(year, month, 1).daysInMonth());
}

QDateTime runTimeOn(const ScheduleTiming& timing, const QDate& date) {
    return QDateTime(date, QTime(timing.hour, timing.minute));
}

} // namespace

bool runsOn(const ScheduleTiming& timing, const QDate& date) {
    if (date < timing.begin || date > timing.end)
        return false;
    switch (timing.frequency) {
    case ScheduleFrequency::Day:
        return true;
    case ScheduleFrequency::Week:
        return date.dayOfWeek() == timing.weekday;
    case ScheduleFrequency::Month:
        return date.day() == dayInMonth(timing.day, date.year(), date.month());
    case ScheduleFrequency::Year:
        return date.month() == timing.month &&
               date.day() == dayInMonth(timing.day, date.year(), date.month());
    }
    return false;
}

std::optional<QDateTime> nextRunAfter(const ScheduleTiming& timing, const QDateTime& after) {
    const QDate first = std::max(after.date(), timing.begin);
    const QDate last = std::min(first.addDays(kLongestGap), timing.end);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        const QDateTime time = runTimeOn(timing, date);
        if (runsOn(timing, date) && time > after)
            return time;
    }
    return std::nullopt;
}

std::optional<QDateTime> lastRunUpTo(const ScheduleTiming& timing, const QDateTime& upTo) {
    const QDate last = std::min(upTo.date(), timing.end);
    const QDate first = std::max(last.addDays(-kLongestGap), timing.begin);
    for (QDate date = last; date >= first; date = date.addDays(-1)) {
        const QDateTime time = runTimeOn(timing, date);
        if (runsOn(timing, date) && time <= upTo)
            return time;
    }
    return std::nullopt;
}

std::optional<QDateTime> dueRun(const ScheduleTiming& timing, const QDateTime& since,
                                const QDateTime& upTo, const QDateTime& lastRun) {
    const std::optional<QDateTime> latest = lastRunUpTo(timing, upTo);
    if (!latest || *latest <= since || (lastRun.isValid() && *latest <= lastRun))
        return std::nullopt;
    return latest;
}

} // namespace kvx::DueTime
