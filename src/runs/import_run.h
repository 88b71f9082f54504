#pragma once

#include "runs/exchange_run.h"

namespace kvx {

struct Services;

// Imports an interface document file for every selected item, in list order: the item's
// default import file or one the operator chooses, checked against the item, completed with
// the chosen operation, options and credentials, posted to the exchange server; the server's
// per-record results make up the report shown at the end. A failed item shows its message
// and the run goes on. When the operator cancels or an error ends the run, the report of
// the items already imported is still shown, with a line saying where the run stopped.
RunSummary RunImport(Services& services, const ExchangeRunInput& input, RunHost& host);

} // namespace kvx
