#pragma once

#include "history/run_history.h"
#include "runs/exchange_run.h"

namespace kvx {

struct Services;

// The one place where the command line runs an import or export of the console, so that it
// follows the console's runs wherever they go.
RunSummary driveRun(Services& services, const ExchangeRunInput& input, RunHost& host,
                    RunHistory::Direction direction);

} // namespace kvx
