#include "app/frm_main.h"

#include "app/agent_run_notice.h"
#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/command_dock.h"
#include "app/frm_about.h"
#include "app/help_topics.h"
#include "login/frm_http_login.h"
#include "login/product.h"
#include "platform/clock.h"
#include "platform/help_viewer.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "platform/shell.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

namespace kvx {

FrmMain::FrmMain(Services& services, AppContext& context, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
    , m_context(context)
    , m_mdi(new QMdiArea(this))
    , m_slots(m_mdi)
    , m_commands(std::make_unique<CommandDispatcher>(*this))
    , m_clockTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("frmMain"));
    m_helpContext = HelpTopic::MainFrame;
    setWindowTitle(QStringLiteral("M6-") + Product::title() + QStringLiteral("（远程）"));
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(m_mdi);
    createMenus();
    auto* commandWindow = new CommandDock(*this);
    addDockWidget(Qt::LeftDockWidgetArea, commandWindow);
    resizeDocks({commandWindow}, {180}, Qt::Horizontal);
    m_windowMenu->addAction(commandWindow->toggleViewAction());
    createStatusBar();
    resize(1000, 700);
    refreshStatusBar();
}

FrmMain::~FrmMain() = default;

void FrmMain::setWindowFactory(WorkWindow kind, WindowFactory factory, WindowPreparer beforeShow) {
    m_slots.setFactory(kind, std::move(factory), std::move(beforeShow));
}

QWidget* FrmMain::openWorkWindow(WorkWindow kind, const WindowPreparer& beforeShow) {
    return m_slots.open(kind, beforeShow);
}

void FrmMain::m_oMenu_OnCommand(const QString&, const QString& command, const QString&,
                                const QString&) {
    m_commands->run(command);
}

QWidget* FrmMain::workWindow(WorkWindow kind) const {
    return m_slots.window(kind);
}

void FrmMain::createStatusBar() {
    statusBar()->setObjectName(QStringLiteral("stBar"));
    for (int i = 0; i < 5; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("stBarPanel%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addPermanentWidget(m_panels[i], i < 3 ? 1 : 0);
    }
    m_panels[4]->setText(Product::makerName());
    m_agentRuns = new AgentRunNotice(*this, *statusBar());
    connect(m_clockTimer, &QTimer::timeout, this, &FrmMain::updateClock);
    m_clockTimer->start(1000);
}

void FrmMain::refreshStatusBar() {
    const LoginSettings& login = m_context.login.persistent;
    m_panels[0]->setText(QStringLiteral("服务器：") + login.serverUrl);
    m_panels[1]->setText(QStringLiteral("操作员：") + login.operatorName);
    m_panels[2]->setText(QStringLiteral("业务日期：") + login.businessDate);
    updateClock();
    applyRights();
    m_agentRuns->refresh();
}

void FrmMain::updateClock() {
    m_panels[3]->setText(m_services.clock.now().toString(QStringLiteral("HH:mm")));
}

void FrmMain::applyRights() {
    action(QStringLiteral("miExcute"))->setVisible(m_context.login.canExecute);
    action(QStringLiteral("miSetting"))->setVisible(m_context.login.canConfigure);
}

void FrmMain::onReloginTriggered() {
    FrmHttpLogin login(m_services, m_context.login, this);
    login.exec();
    if (!login.loginSucceeded())
        return;
    m_mdi->closeAllSubWindows();
    refreshStatusBar();
}

void FrmMain::onSettingTriggered() {
    QWidget* window = openWorkWindow(WorkWindow::ConditionEditor);
    window->setProperty(kHelpContextProperty, HelpTopic::ConditionEditor);
}

void FrmMain::onExecuteTriggered() {
    QWidget* window = openWorkWindow(WorkWindow::ExchangeWindow);
    window->setProperty(kHelpContextProperty, HelpTopic::ExchangeWindow);
}

void FrmMain::onAboutTriggered() {
    FrmAbout about(m_services.prompter, this);
    about.exec();
}

void FrmMain::onHelpTriggered() {
    m_helpContext = HelpTopic::ConditionEditor;
    showHelp();
}

void FrmMain::showHelp() {
    int topic = m_helpContext;
    if (const QMdiSubWindow* active = m_mdi->activeSubWindow()) {
        const QVariant own = active->widget()->property(kHelpContextProperty);
        if (own.isValid())
            topic = own.toInt();
    }
    const QString file = helpFilePath(m_services.folder);
    if (!QFileInfo::exists(file)) {
        m_services.prompter.message(SharedText::fileMissing(file), Product::applicationTitle(),
                                    Prompter::Icon::Information);
        return;
    }
    if (!m_services.help.showTopic(file, topic))
        m_services.prompter.message(QStringLiteral("无法打开帮助文件") + AppFolder::toNative(file),
                                    Product::applicationTitle(), Prompter::Icon::Information);
}

bool FrmMain::viewWeb(const QString& address) {
    if (m_services.shell.openUrl(address))
        return true;
    m_services.prompter.message(
        QStringLiteral("不能启动 Web 浏览器,请检查 Internet设置及连接是否正常。"), windowTitle(),
        Prompter::Icon::Information);
    return false;
}

void FrmMain::closeEvent(QCloseEvent* event) {
    if (m_services.prompter.question(QStringLiteral("确认退出KVX管理系统?"),
                                     Product::applicationTitle(), Prompter::Buttons::YesNo,
                                     Prompter::Icon::Question) != Prompter::Answer::Yes) {
        event->ignore();
        return;
    }
    // A work window may still refuse to close (unsaved changes the operator keeps).
    m_mdi->closeAllSubWindows();
    if (!m_mdi->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace kvx
