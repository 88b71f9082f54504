#pragma once

#include <QDateTime>
#include <optional>

namespace kvx {

struct ScheduleTiming;

// When a schedule runs. It is in force from its first to its last day, both included. A day
// of the month that a month lacks (the 31st in April, the 29th of February in a common year)
// falls on that month's last day, so a monthly or yearly run is never left out.
namespace DueTime {

bool runsOn(const ScheduleTiming& timing, const QDate& date);
// The first run time strictly after `after`; nothing when the period ends before it.
std::optional<QDateTime> nextRunAfter(const ScheduleTiming& timing, const QDateTime& after);
// The last run time at or before `upTo`; nothing when the period has not begun by then.
std::optional<QDateTime> lastRunUpTo(const ScheduleTiming& timing, const QDateTime& upTo);
// The run time to run at a look over the time after `since` up to `upTo`: the latest one
// in it, so that a look after a sleep or a jump of the clock runs only the latest run time
// it missed; and only when it lies after `lastRun`, the start of the schedule's last run, so
// that a clock set back never runs a time again.
std::optional<QDateTime> dueRun(const ScheduleTiming& timing, const QDateTime& since,
                                const QDateTime& upTo, const QDateTime& lastRun);

} // namespace DueTime

} // namespace kvx
