// The frame's menu bar: every item by its name, caption and initial visibility.
#include "app/frm_main.h"
#include "app/mdi_arrangement.h"
#include "login/product.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>

namespace kvx {

QMenu* FrmMain::addMenu(const QString& name, const QString& caption) {
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction* FrmMain::addItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

QAction* FrmMain::addSeparator(QMenu* menu, const QString& name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(name);
    return separator;
}

QAction* FrmMain::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void FrmMain::createMenus() {
    QMenu* system = addMenu(QStringLiteral("mnuSys"), QStringLiteral("系统(&S)"));
    connect(addItem(system, QStringLiteral("miLogin"), QStringLiteral("重新注册(&R)")),
            &QAction::triggered, this, &FrmMain::onReloginTriggered);
    addSeparator(system, QStringLiteral("mnuSysSpace"));
    connect(addItem(system, QStringLiteral("miExit"), QStringLiteral("退出(&X)")),
            &QAction::triggered, this, &QWidget::close);

    addMenu(QStringLiteral("mnuReflect"), QStringLiteral("数据映射"))
        ->menuAction()
        ->setVisible(false);

    QMenu* exchange = addMenu(QStringLiteral("mnuExchange"), QStringLiteral("导入导出"));
    connect(addItem(exchange, QStringLiteral("miSetting"), QStringLiteral("设置(&S)")),
            &QAction::triggered, this, &FrmMain::onSettingTriggered);
    connect(addItem(exchange, QStringLiteral("miExcute"), QStringLiteral("执行(&E)")),
            &QAction::triggered, this, &FrmMain::onExecuteTriggered);
    QAction* plan = addItem(exchange, QStringLiteral("miPlan"), QStringLiteral("计划(P)"));
    connect(plan, &QAction::triggered, this,
            [this] { openWorkWindow(WorkWindow::ScheduleEditor); });
    QAction* mail =
        addItem(exchange, QStringLiteral("SendMail"), QStringLiteral("邮箱发送接收(&M)"));
    connect(mail, &QAction::triggered, this, [this] { m_slots.openNew(WorkWindow::MailWindow); });
    QAction* runPlan =
        addItem(exchange, QStringLiteral("mnuExcutePlan"), QStringLiteral("执行计划(&A)"));
    connect(runPlan, &QAction::triggered, this, &FrmMain::planAgentStartRequested);
    QAction* log = addItem(exchange, QStringLiteral("miLog"), QStringLiteral("日志(&L)"));
    for (QAction* hidden : {plan, mail, runPlan, log})
        hidden->setVisible(false);

    QMenu* tools = addMenu(QStringLiteral("mnuS"), QStringLiteral("工具(&T)"));
    tools->addAction(QStringLiteral("记事簿"));
    tools->addAction(QStringLiteral("计算器"));
    tools->menuAction()->setVisible(false);

    createWindowMenu();
    createHelpMenu();

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &FrmMain::showHelp);
}

void FrmMain::createWindowMenu() {
    m_windowMenu = addMenu(QStringLiteral("mnuWindow"), QStringLiteral("窗口(&W)"));
    const struct {
        const char* name;
        QString caption;
        Arrangement arrangement;
    } arrangements[] = {
        {"miPP", QStringLiteral("水平平铺(&H)"), Arrangement::TileHorizontally},
        {"miWPT", QStringLiteral("垂直平铺(&V)"), Arrangement::TileVertically},
        {"miCD", QStringLiteral("层叠(&C)"), Arrangement::Cascade},
        {"miIcon", QStringLiteral("排列图标(&A)"), Arrangement::ArrangeIcons},
    };
    for (const auto& entry : arrangements) {
        const Arrangement arrangement = entry.arrangement;
        connect(addItem(m_windowMenu, QString::fromLatin1(entry.name), entry.caption),
                &QAction::triggered, m_mdi, [this, arrangement] { arrange(m_mdi, arrangement); });
    }
    addSeparator(m_windowMenu, QStringLiteral("miWBar1"));
    connect(addItem(m_windowMenu, QStringLiteral("miRunHistory"), QStringLiteral("运行记录(&R)")),
            &QAction::triggered, this, [this] { openWorkWindow(WorkWindow::RunHistory); });

    QAction* statusBarItem =
        addItem(m_windowMenu, QStringLiteral("miStatusbar"), QStringLiteral("状态栏"));
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    connect(statusBarItem, &QAction::toggled, statusBar(), &QWidget::setVisible);

    // Ticked items without an action: a click must not take the tick away.
    QAction* tree =
        addItem(m_windowMenu, QStringLiteral("mnuTree"), QStringLiteral("显示命令窗口"));
    QAction* caption = addItem(m_windowMenu, QStringLiteral("miCaption"), QStringLiteral("标题栏"));
    for (QAction* ticked : {tree, caption}) {
        ticked->setCheckable(true);
        ticked->setChecked(true);
        connect(ticked, &QAction::triggered, ticked, [ticked] { ticked->setChecked(true); });
    }
    tree->setVisible(false);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &FrmMain::fillWindowList);
}

void FrmMain::fillWindowList() {
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions.append(m_windowMenu->addSeparator());
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        QAction* item = m_windowMenu->addAction(
            QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()));
        item->setCheckable(true);
        item->setChecked(window == m_mdi->activeSubWindow());
        connect(item, &QAction::triggered, m_mdi,
                [this, window] { m_mdi->setActiveSubWindow(window); });
        m_windowListActions.append(item);
    }
}

void FrmMain::createHelpMenu() {
    QMenu* help = addMenu(QStringLiteral("mnuHelp"), QStringLiteral("帮助(&H)"));
    QAction* helpItem =
        addItem(help, QStringLiteral("miHelp"), Product::title() + QStringLiteral("系统帮助(&H)"));
    connect(helpItem, &QAction::triggered, this, &FrmMain::onHelpTriggered);
    helpItem->setVisible(false);
    addSeparator(help, QStringLiteral("mnuHelpSpace1"))->setVisible(false);
    connect(addItem(help, QStringLiteral("MnuViewWeb"),
                    QStringLiteral("访问") + Product::makerName() + QStringLiteral("网站(&W)")),
            &QAction::triggered, this, [this] { viewWeb(Product::makerWebAddress()); });
    addSeparator(help, QStringLiteral("mnuHelpSpace2"));
    connect(addItem(help, QStringLiteral("miAbount"),
                    QStringLiteral("关于") + Product::title() + QStringLiteral("(&A)")),
            &QAction::triggered, this, &FrmMain::onAboutTriggered);
}

} // namespace kvx
