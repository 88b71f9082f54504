#pragma once

#include "history/run_history.h"
#include "runs/exchange_run_input.h"
#include "runs/run_summary.h"

#include <QList>
#include <QString>

namespace kvx {

class PlanAgent;
class TerminalProgress;
struct Services;

// The one place where the command line waits for what ends later: its own event loop runs
// until the run it started has finished. The loop is the program's only one; nothing here
// turns the loop from inside another.

// An import or export of the console, its progress shown by `progress`.
RunSummary driveRun(Services& services, ExchangeRunInput input, RunHistory::Direction direction,
                    TerminalProgress& progress);

// `kvx run-now`: the plan agent's run of the schedule, under its run lock. False, with
// *error, when it does not start (no such schedule, another process runs it).
struct ScheduleOutcome {
    QString report;
    QList<RunSummary> runs;
};
bool driveScheduleRun(PlanAgent& agent, const QString& code, ScheduleOutcome* outcome,
                      QString* error);

} // namespace kvx
