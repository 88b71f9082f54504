#include "app/command_dock.h"

#include "app/command_dispatcher.h"
#include "app/frm_main.h"
#include "platform/named_widgets.h"

#include <QAction>
#include <QListWidget>

namespace kvx {

CommandDock::CommandDock(FrmMain& frame)
    : QDockWidget(QStringLiteral("命令"), &frame) {
    setObjectName(QStringLiteral("dockCommands"));
    auto* list = named(new QListWidget(this), QStringLiteral("lstCommands"));
    list->addItems(CommandDispatcher::commandNames());
    setWidget(list);
    setFocusProxy(list);
    connect(list, &QListWidget::itemActivated, &frame,
            [&frame](QListWidgetItem* item) { frame.m_oMenu_OnCommand({}, item->text(), {}, {}); });
    QAction* toggle = toggleViewAction();
    toggle->setObjectName(QStringLiteral("miCommands"));
    toggle->setText(QStringLiteral("命令(&M)"));
    // Shown from the menu, the list takes the focus, so the keyboard can pick a command.
    connect(toggle, &QAction::triggered, list, [list](bool shown) {
        if (shown)
            list->setFocus();
    });
    hide();
}

} // namespace kvx
