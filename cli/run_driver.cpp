#include "run_driver.h"

#include "runs/export_run.h"
#include "runs/import_run.h"

namespace kvx {

RunSummary driveRun(Services& services, const ExchangeRunInput& input, RunHost& host,
                    RunHistory::Direction direction) {
    return direction == RunHistory::Direction::Import ? RunImport(services, input, host)
                                                      : RunExport(services, input, host);
}

} // namespace kvx
