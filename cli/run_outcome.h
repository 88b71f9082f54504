#pragma once

#include "exit_status.h"
#include "runs/run_summary.h"

#include <QJsonObject>

namespace kvx {

// How a run of the command line ended, for its exit status and its --json answer.
namespace RunOutcome {

// A run refused before its first item lacked a setting or file; a request that failed or was
// not answered leaves the outcome open; refused records are the server's word on the data.
ExitStatus statusOf(const RunSummary& summary);
// The run's end and its items as the run history keeps them.
QJsonObject jsonOf(const RunSummary& summary);

} // namespace RunOutcome

} // namespace kvx
