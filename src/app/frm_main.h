#pragma once

#include "app/work_window_slots.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;

namespace kvx {

class AgentRunNotice;
class CommandDispatcher;
struct AppContext;
struct Services;

// The multiple-document frame: menus, status bar, re-login and the work window slots. It is
// created only after a successful login and owns nothing of the login but its display.
class FrmMain : public QMainWindow {
    Q_OBJECT
public:
    using WindowFactory = WorkWindowSlots::Factory;
    using WindowPreparer = WorkWindowSlots::Preparer;

    FrmMain(Services& services, AppContext& context, QWidget* parent = nullptr);
    ~FrmMain() override;

    Services& services() { return m_services; }
    AppContext& context() { return m_context; }
    QMdiArea* mdiArea() const { return m_mdi; }

    // Registers how a kind of work window is made; `beforeShow` runs whenever the slot's
    // window is about to be shown.
    void setWindowFactory(WorkWindow kind, WindowFactory factory, WindowPreparer beforeShow = {});
    // The slot's window (created on first use), shown and focused; `beforeShow` runs after
    // the registered preparer.
    QWidget* openWorkWindow(WorkWindow kind, const WindowPreparer& beforeShow = {});
    QWidget* workWindow(WorkWindow kind) const;

    // Panels 1 to 4 from the session's login and the clock; the menu items of the two rights;
    // the notice of the plan agent's runs the operator has not seen.
    void refreshStatusBar();
    AgentRunNotice& agentRunNotice() { return *m_agentRuns; }
    // Opens the address in the browser; a failure is reported.
    bool viewWeb(const QString& address);

    // A named command, from the command window; only the second argument, the command's
    // name, is used.
    void m_oMenu_OnCommand(const QString& key, const QString& command, const QString& tag,
                           const QString& extra);
    CommandDispatcher& commands() { return *m_commands; }

    int helpContext() const { return m_helpContext; }
    void setHelpContext(int topic) { m_helpContext = topic; }
    // The help file at the active work window's topic, else at the frame's.
    void showHelp();

Q_SIGNALS:
    // "执行计划(&A)": the plan agent is to be started.
    void planAgentStartRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createWindowMenu();
    void createHelpMenu();
    void createStatusBar();
    void applyRights();
    void updateClock();
    void fillWindowList();

    void onReloginTriggered();
    void onSettingTriggered();
    void onExecuteTriggered();
    void onAboutTriggered();
    void onHelpTriggered();

    QAction* addItem(QMenu* menu, const QString& name, const QString& caption);
    QAction* addSeparator(QMenu* menu, const QString& name);
    QMenu* addMenu(const QString& name, const QString& caption);
    QAction* action(const QString& name) const;

    Services& m_services;
    AppContext& m_context;
    QMdiArea* m_mdi;
    WorkWindowSlots m_slots;
    std::unique_ptr<CommandDispatcher> m_commands;
    QLabel* m_panels[5] = {};
    AgentRunNotice* m_agentRuns = nullptr;
    QTimer* m_clockTimer;
    QMenu* m_windowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    int m_helpContext = 0;
};

} // namespace kvx
