#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

struct Services;

// Starts the plan agent of the application folder and registers it to start at the
// operator's logon. Whether the agent runs is asked of its lock, not of the autostart entry,
// so an agent that has stopped is started again.
class PlanAgentLauncher {
public:
    explicit PlanAgentLauncher(Services& services);

    // The agent program: in the application folder, else beside the console's own program.
    QString agentPath() const;
    // The program and the arguments it is started with, for this application folder.
    QStringList agentArguments() const;

    // True when the caller should start the agent now: it does not run, and the autostart
    // entry names it (written when it is missing or names another). False, with "M6KVX计划
    // 监控程序已运行" shown, when it runs.
    bool RegisterPlanAgent();
    // The start of both callers (the menu item and the command): RegisterPlanAgent, then the
    // agent is started and "数据交换代理启动" shown. A missing program or a failed start is
    // reported, and then nothing is registered.
    void start();

private:
    bool agentRuns() const;

    Services& m_services;
};

} // namespace kvx
