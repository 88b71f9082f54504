#pragma once

#include "platform/prompter.h"

#include <QString>
#include <QStringList>

namespace kvx {

struct Services;

// Starts the plan agent of the application folder and registers it to start at the
// operator's logon. Whether the agent runs is asked of its lock, not of the autostart entry,
// so an agent that has stopped is started again. What came of it is returned for the frame
// to show.
class PlanAgentLauncher {
public:
    // What to tell the operator: "数据交换代理启动" when the agent was started, else why not.
    struct Outcome {
        bool started = false;
        QString message;
        Prompter::Icon icon = Prompter::Icon::None;
    };

    explicit PlanAgentLauncher(Services& services);

    // The agent program: in the application folder, else beside the console's own program.
    QString agentPath() const;
    // The program and the arguments it is started with, for this application folder.
    QStringList agentArguments() const;

    // True when the caller should start the agent now: it does not run, and the autostart
    // entry names it (written when it is missing or names another). False, with the outcome
    // to tell ("M6KVX计划监控程序已运行", or why its lock cannot be used), when not.
    bool RegisterPlanAgent(Outcome* refusal);
    // The start of both callers (the menu item and the command): RegisterPlanAgent, then the
    // agent is started. A missing program or a failed start is an outcome too, and then
    // nothing is registered.
    Outcome start();

private:
    Services& m_services;
};

} // namespace kvx
