#include "agent_prompter.h"
#include "cli_output.h"
#include "cli_session.h"
#include "commands.h"
#include "plan_agent.h"
#include "platform/owned_services.h"
#include "run_driver.h"
#include "run_outcome.h"

#include <QJsonArray>
#include <algorithm>

namespace kvx {

// The plan agent's run of one schedule, as KVXTimer --run-now makes it: under the schedule's
// run lock, with the plan conditions and the agent's report. The exit status is the worst of
// its directions'.
ExitStatus runRunNowCommand(const CliOptions& options) {
    QString error;
    const std::optional<AppFolder> folder = CliSession::folderOf(options, &error);
    if (!folder)
        return refuseCommand(options, error);
    OwnedServices<AgentPrompter> owned(*folder);
    // The agent's log (what it read of the schedule file, the run's report) as it comes.
    PlanAgent agent(owned.services, owned.prompter, [&options](const QString& line) {
        if (!options.json)
            CliOutput::out(line);
    });
    ScheduleOutcome outcome;
    if (!driveScheduleRun(agent, options.schedule, &outcome, &error))
        return refuseCommand(options, error);

    ExitStatus status = ExitStatus::Done;
    QJsonArray runs;
    for (const RunSummary& run : outcome.runs) {
        status = std::max(status, RunOutcome::statusOf(run));
        runs.append(RunOutcome::jsonOf(run));
    }
    if (options.json)
        CliOutput::json({{"command", "run-now"},
                         {"schedule", options.schedule},
                         {"runs", runs},
                         {"report", outcome.report},
                         {"exitStatus", exitCode(status)}});
    return status;
}

} // namespace kvx
