#include "app/command_dispatcher.h"

#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/help_topics.h"
#include "login/product.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

#include <QApplication>
#include <array>
#include <optional>

namespace kvx {

namespace {

enum class Action { OpenWindow, StartPlanAgent, Nothing };

struct Command {
    const char16_t* name;
    Action action;
    WorkWindow window = WorkWindow::ConditionEditor;
};

// "数据映射" and "数据交换日志" are commands of the vocabulary that do nothing.
constexpr std::array kCommands = {
    Command{u"导入导出设置", Action::OpenWindow, WorkWindow::ConditionEditor},
    Command{u"替换设置", Action::OpenWindow, WorkWindow::ReplaceSettings},
    Command{u"数据交换", Action::OpenWindow, WorkWindow::ExchangeWindow},
    Command{u"邮件传输", Action::OpenWindow, WorkWindow::MailWindow},
    Command{u"数据交换计划设置", Action::OpenWindow, WorkWindow::ScheduleEditor},
    Command{u"数据交换计划执行", Action::StartPlanAgent},
    Command{u"运行记录", Action::OpenWindow, WorkWindow::RunHistory},
    Command{u"数据映射", Action::Nothing},
    Command{u"数据交换日志", Action::Nothing},
};

std::optional<Command> commandNamed(const QString& name) {
    for (const Command& command : kCommands) {
        if (name == QStringView(command.name))
            return command;
    }
    return std::nullopt;
}

// The condition editor opened by command edits the condition file, whatever mode the schedule
// editor left it in.
void leavePlanMode(QWidget* conditionEditor) {
    if (conditionEditor->metaObject()->indexOfProperty("Sche") >= 0)
        conditionEditor->setProperty("Sche", false);
}

} // namespace

QStringList CommandDispatcher::commandNames() {
    QStringList names;
    for (const Command& command : kCommands) {
        if (command.action != Action::Nothing)
            names.append(QString::fromUtf16(command.name));
    }
    return names;
}

bool CommandDispatcher::IsBusy() const {
    return QApplication::activeModalWidget() != nullptr;
}

bool CommandDispatcher::HasEnoughResources() const {
    if (!m_frame.context().isWin9x || !m_resourceFigure)
        return true;
    return m_resourceFigure() > 15;
}

void CommandDispatcher::run(const QString& name) {
    Prompter& prompter = m_frame.services().prompter;
    if (IsBusy()) {
        prompter.message(QStringLiteral("有正执行的功能没有确认！"), SharedText::promptTitle(),
                         Prompter::Icon::Information);
        return;
    }
    if (!HasEnoughResources()) {
        prompter.message(QStringLiteral("资源不足！"), Product::applicationTitle(),
                         Prompter::Icon::Warning);
        return;
    }
    const std::optional<Command> command = commandNamed(name);
    if (!command)
        return;
    switch (command->action) {
    case Action::OpenWindow: {
        FrmMain::WindowPreparer beforeShow;
        if (command->window == WorkWindow::ConditionEditor)
            beforeShow = leavePlanMode;
        QWidget* window = m_frame.openWorkWindow(command->window, beforeShow);
        // F1 on the frame opens the topic of the window last opened by command.
        m_frame.setHelpContext(window->property(kHelpContextProperty).toInt());
        break;
    }
    case Action::StartPlanAgent:
        Q_EMIT m_frame.planAgentStartRequested();
        break;
    case Action::Nothing:
        break;
    }
}

} // namespace kvx
