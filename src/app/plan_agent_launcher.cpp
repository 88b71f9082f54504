#include "app/plan_agent_launcher.h"

#include "platform/autostart.h"
#include "platform/process_lock.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "platform/shell.h"
#include "schedule/plan_agent_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kvx {

PlanAgentLauncher::PlanAgentLauncher(Services& services)
    : m_services(services) {}

QString PlanAgentLauncher::agentPath() const {
    const QString inFolder = m_services.folder.resolve(PlanAgentFiles::programRelativePath());
    if (QFileInfo::exists(inFolder))
        return inFolder;
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(PlanAgentFiles::programRelativePath().mid(1));
}

// The folder is named, so that the agent started at logon works on this folder whatever the
// environment then says.
QStringList PlanAgentLauncher::agentArguments() const {
    return {QStringLiteral("--app-dir"), m_services.folder.nativeRoot()};
}

bool PlanAgentLauncher::RegisterPlanAgent(Outcome* refusal) {
    QString error;
    switch (
        ProcessLock::probe(m_services.folder.resolve(PlanAgentFiles::lockRelativePath()), &error)) {
    case ProcessLock::State::Held:
        *refusal = {false, PlanAgentFiles::alreadyRunningMessage(), Prompter::Icon::None};
        return false;
    case ProcessLock::State::Unusable:
        *refusal = {false, error, Prompter::Icon::Warning};
        return false;
    case ProcessLock::State::Free:
        break;
    }
    const QString command = Autostart::commandLine(agentPath(), agentArguments());
    // A registration that cannot be written does not keep the agent from starting now.
    if (m_services.autostart.command(PlanAgentFiles::autostartName()) != command)
        m_services.autostart.setCommand(PlanAgentFiles::autostartName(), command, nullptr);
    return true;
}

PlanAgentLauncher::Outcome PlanAgentLauncher::start() {
    const QString program = agentPath();
    if (!QFileInfo(program).isExecutable())
        return {false, SharedText::fileMissing(program), Prompter::Icon::Warning};
    Outcome outcome;
    if (!RegisterPlanAgent(&outcome))
        return outcome;
    if (!m_services.shell.startProgram(program, agentArguments()))
        return {false, QStringLiteral("数据交换代理无法启动：") + AppFolder::toNative(program),
                Prompter::Icon::Warning};
    return {true, QStringLiteral("数据交换代理启动"), Prompter::Icon::None};
}

} // namespace kvx
