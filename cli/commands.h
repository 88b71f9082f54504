#pragma once

#include "cli_options.h"
#include "exit_status.h"

namespace kvx {

// The commands of `kvx`, each printing its outcome (or JSON with --json) and answering its
// exit status.
ExitStatus runExchangeCommand(const CliOptions& options);
ExitStatus runCheckCommand(const CliOptions& options);
ExitStatus runHistoryCommand(const CliOptions& options);
ExitStatus runRunNowCommand(const CliOptions& options);

// A refusal before anything is done: the text on the error output, or in the JSON answer.
ExitStatus refuseCommand(const CliOptions& options, const QString& text);

} // namespace kvx
