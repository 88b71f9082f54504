#include "due_time.h"

#include "plan_schedule.h"

#include <algorithm>

namespace kvx::DueTime {

namespace {

int dayInMonth(int wanted, int year, int month) {
    return std::min(wanted, QDate(year, month, 1).daysInMonth());
}

QDateTime runTimeOn(const PlanSchedule& schedule, const QDate& date) {
    return QDateTime(date, QTime(schedule.hour, schedule.minute));
}

} // namespace

bool runsOn(const PlanSchedule& schedule, const QDate& date) {
    if (date < schedule.begin || date > schedule.end)
        return false;
    switch (schedule.type) {
    case PlanSchedule::Type::Day:
        return true;
    case PlanSchedule::Type::Week:
        return date.dayOfWeek() == schedule.weekday;
    case PlanSchedule::Type::Month:
        return date.day() == dayInMonth(schedule.day, date.year(), date.month());
    case PlanSchedule::Type::Year:
        return date.month() == schedule.month &&
               date.day() == dayInMonth(schedule.day, date.year(), date.month());
    }
    return false;
}

std::optional<QDateTime> nextRunAfter(const PlanSchedule& schedule, const QDateTime& after) {
    // Every frequency comes round within a year and a day.
    const QDate first = std::max(after.date(), schedule.begin);
    const QDate last = std::min(first.addDays(366), schedule.end);
    for (QDate date = first; date <= last; date = date.addDays(1)) {
        if (!runsOn(schedule, date))
            continue;
        const QDateTime time = runTimeOn(schedule, date);
        if (time > after)
            return time;
    }
    return std::nullopt;
}

bool isDue(const PlanSchedule& schedule, const QDateTime& after, const QDateTime& upTo) {
    const std::optional<QDateTime> next = nextRunAfter(schedule, after);
    return next && *next <= upTo;
}

} // namespace kvx::DueTime
