#pragma once

#include "runs/exchange_run.h"

namespace kvx {

struct Services;

// Exports every selected item, in list order: a query envelope with the item's conditions
// (of the sender code, else the item's template; TODAY as the run's date) goes to the
// exchange server and the data document it answers is saved, atomically, to the item's
// default export file or one the operator chooses. With the mail flag each saved file is
// queued, and after the last item the mail transport is asked to send the queue. A failed
// item shows its message and the run goes on.
RunSummary RunExport(Services& services, const ExchangeRunInput& input, RunHost& host);

} // namespace kvx
