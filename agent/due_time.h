#pragma once

#include <QDateTime>
#include <optional>

namespace kvx {

struct PlanSchedule;

// When a schedule runs. It is in force from its first to its last day, both included. A day
// of the month that a month lacks (the 31st in April, the 29th of February in a common year)
// falls on that month's last day, so a monthly or yearly run is never left out.
namespace DueTime {

bool runsOn(const PlanSchedule& schedule, const QDate& date);
// The first run time strictly after `after`; nothing when the period ends before it.
std::optional<QDateTime> nextRunAfter(const PlanSchedule& schedule, const QDateTime& after);
// True when a run time t with after < t <= upTo exists: the agent looks at the minutes that
// passed since its last look, so a run missed while it was not running is not made up.
bool isDue(const PlanSchedule& schedule, const QDateTime& after, const QDateTime& upTo);

} // namespace DueTime

} // namespace kvx
