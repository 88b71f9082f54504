#include "app/agent_run_notice.h"
#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/frm_about.h"
#include "app/frm_main.h"
#include "app/help_topics.h"
#include "app/work_windows.h"
#include "find_control.h"
#include "fixture_http_server.h"
#include "history/run_history.h"
#include "history/unseen_agent_runs.h"
#include "login/frm_http_login.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

using namespace kvx;
using test::FixtureHttpServer;
using test::RecordingPrompter;
using test::TestFolder;

namespace {

struct Fixture {
    explicit Fixture(TestFolder::Content content = TestFolder::Content::Empty)
        : folder(content) {}

    TestFolder folder;
    AppFolder app{folder.path()};
    test::TestServices s{folder.path()};
    AppContext context;

    std::unique_ptr<FrmMain> frame(bool canConfigure = true, bool canExecute = true) {
        context.login.canConfigure = canConfigure;
        context.login.canExecute = canExecute;
        auto frame = std::make_unique<FrmMain>(s.services, context);
        frame->show();
        return frame;
    }
    // The frame as it is made after the login, with its work windows.
    std::unique_ptr<FrmMain> loggedInFrame() {
        auto frame = std::make_unique<FrmMain>(s.services, context);
        registerWorkWindows(*frame, s.services, context);
        frame->show();
        return frame;
    }
};

using Origin = RunHistory::Origin;

// A finished run of one item: "outcome", or "exchanged" with `failed` records refused; no
// item for a run refused before its first.
void addRun(const AppFolder& app, Origin origin, const QString& item, const QString& outcome,
            int failed = 0, const QString& runOutcome = "completed") {
    RunHistory history(app);
    const QDateTime time(QDate(2026, 3, 15), QTime(2, 30));
    QVERIFY(history.beginRun(
        {0, time, {}, origin, RunHistory::Direction::Import, "demo", "001", {}, {}}));
    if (!item.isEmpty()) {
        RunHistory::Item done;
        done.position = 1;
        done.item = item;
        done.outcome = outcome;
        done.succeeded = 2;
        done.failed = failed;
        QVERIFY(history.addItem(done));
    }
    if (runOutcome != "running")
        QVERIFY(history.finishRun(runOutcome, {}, time.addSecs(5)));
}

QPushButton* agentNotice(FrmMain& frame) {
    return findControl<QPushButton>(&frame, "stBarAgentRuns");
}

// The run history window's lines: "item state".
QStringList historyLines(FrmMain& frame) {
    const QAbstractItemModel* model =
        findControl<QTableView>(frame.workWindow(WorkWindow::RunHistory), "grdRuns")->model();
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, 4).data().toString() + " " +
                     model->index(row, 8).data().toString();
    return lines;
}

QAction* item(FrmMain& frame, const char* name) {
    QAction* action = frame.findChild<QAction*>(QString::fromLatin1(name));
    if (!action)
        qFatal("no menu item %s", name);
    return action;
}

QString panel(FrmMain& frame, int number) {
    return frame.findChild<QLabel*>(QStringLiteral("stBarPanel%1").arg(number))->text();
}

QStringList childTitles(FrmMain& frame) {
    QStringList titles;
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        titles.append(window->widget()->windowTitle());
    return titles;
}

// Fills the login dialog that is about to be shown modally and presses the given button.
void answerLoginDialog(const QString& address, const QString& sender, const char* button) {
    QTimer::singleShot(0, [address, sender, button] {
        auto* dialog = qobject_cast<FrmHttpLogin*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit*>("txtHttpServer")->setText(address);
        dialog->findChild<QLineEdit*>("txtUser")->setText("新操作员");
        dialog->findChild<QLineEdit*>("txtPwd")->setText("pw");
        dialog->findChild<QLineEdit*>("txtSender")->setText(sender);
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
}

// A work window as the real ones behave towards the frame: its own help topic, and the
// condition editor's mode switch.
class ProbeWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Sche MEMBER m_sche)
public:
    ProbeWindow(int topic, bool sche)
        : m_sche(sche) {
        setProperty(kHelpContextProperty, topic);
    }
    bool m_sche;
    QList<bool> scheWhenShown;

protected:
    void showEvent(QShowEvent*) override { scheWhenShown.append(m_sche); }
};

constexpr int kNothing = -1;
constexpr int kPlanAgent = -2;

// A frame whose commands open probe windows: every kind gets one of its own topic, each
// window shown is kept as prepared; the condition editor is made in plan mode, as the
// schedule editor leaves it.
struct Dispatch : Fixture {
    std::unique_ptr<FrmMain> frm = std::make_unique<FrmMain>(s.services, context);
    QSignalSpy planStarts{frm.get(), &FrmMain::planAgentStartRequested};
    QList<QWidget*> prepared;

    Dispatch() {
        for (int kind = 0; kind <= int(WorkWindow::ReplaceSettings); ++kind) {
            frm->setWindowFactory(
                WorkWindow(kind), [kind] { return new ProbeWindow(7000 + kind, kind == 0); },
                [this](QWidget* window) { prepared.append(window); });
        }
        frm->show();
    }
    void run(const QString& command) { frm->m_oMenu_OnCommand("a", command, "c", "d"); }
    int windows() const { return int(frm->mdiArea()->subWindowList().size()); }
};

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The status bar item flips the bar; the ticked items without action keep their tick.
    void statusBarItemFlipsTheBar() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miStatusbar")->trigger();
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(!item(*frame, "miStatusbar")->isChecked());
        for (const char* ticked : {"mnuTree", "miCaption"}) {
            item(*frame, ticked)->trigger();
            QVERIFY2(item(*frame, ticked)->isChecked(), ticked);
        }
    }

    // The session's login, whatever a failed save left in "\LoginWan.ini".
    void statusBarShowsTheSessionsLogin() {
        Fixture f;
        f.folder.write("LoginWan.ini", "\"http://old/\"\r\n\"旧\"\r\n\"pwd\"\r\n\"2020-1-1\"\r\n");
        f.context.login.persistent = {"http://srv/", "张三", "pwd", ""};
        auto frame = f.frame();
        QCOMPARE(panel(*frame, 1), QString("服务器：http://srv/"));
        QCOMPARE(panel(*frame, 2), QString("操作员：张三"));
        QCOMPARE(panel(*frame, 3), QString("业务日期："));
        QCOMPARE(panel(*frame, 4), QString("09:30"));
    }

    void slotsKeepOneWindowOfEachKind() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();
        QWidget* exchange = frame->workWindow(WorkWindow::ExchangeWindow);
        QVERIFY(exchange);
        QCOMPARE(exchange->windowTitle(), QString("导入导出"));
        QCOMPARE(exchange->property(kHelpContextProperty).toInt(), HelpTopic::ExchangeWindow);
        item(*frame, "miSetting")->trigger();
        QCOMPARE(
            frame->workWindow(WorkWindow::ConditionEditor)->property(kHelpContextProperty).toInt(),
            HelpTopic::ConditionEditor);
        item(*frame, "miExcute")->trigger();
        QCOMPARE(frame->workWindow(WorkWindow::ExchangeWindow), exchange);
        QCOMPARE(frame->mdiArea()->activeSubWindow()->widget(), exchange);
        item(*frame, "miPlan")->trigger();
        QCOMPARE(childTitles(*frame), (QStringList{"导入导出", "导入导出设置", "计划"}));
        // The window menu lists them, the active one ticked.
        auto* menu = frame->findChild<QMenu*>("mnuWindow");
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QStringList listed;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith('&'))
                listed.append(action->text() + (action->isChecked() ? "*" : ""));
        }
        QCOMPARE(listed, (QStringList{"&1 导入导出", "&2 导入导出设置", "&3 计划*"}));

        // The mail item opens a new window every time.
        item(*frame, "SendMail")->trigger();
        item(*frame, "SendMail")->trigger();
        QCOMPARE(childTitles(*frame).count("KVX远程数据传输工具"), 2);

        // A closed window leaves its slot empty; the next use makes a fresh one.
        frame->mdiArea()->subWindowList().first()->close();
        QTRY_VERIFY(!frame->workWindow(WorkWindow::ExchangeWindow));
        QVERIFY(frame->openWorkWindow(WorkWindow::ExchangeWindow));
        QCOMPARE(childTitles(*frame).count("导入导出"), 1);
    }

    void reloginClosesWorkWindowsAndAppliesTheNewLogin() {
        FixtureHttpServer server([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{
                200, "<r><result succeed='0'/><item key='KV020202' succeed='1'/>"
                     "<item key='KV0203' succeed='0'/></r>"};
        });
        Fixture f;
        f.context.login.senderCode = "OLD";
        auto frame = f.frame(false, true);
        // The rights decide the two items, at the start and again after a login.
        QVERIFY(!item(*frame, "miSetting")->isVisible() && item(*frame, "miExcute")->isVisible());
        item(*frame, "miExcute")->trigger();
        item(*frame, "miPlan")->trigger();
        item(*frame, "SendMail")->trigger();
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 3);

        // A re-login left without success changes nothing.
        answerLoginDialog(server.baseUrl(), "NEW", "cmdExit");
        item(*frame, "miLogin")->trigger();
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 3);
        QCOMPARE(f.context.login.senderCode, QString("OLD"));

        answerLoginDialog(server.baseUrl(), "NEW", "cmdOk");
        item(*frame, "miLogin")->trigger();
        QVERIFY(frame->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(panel(*frame, 1), "服务器：" + server.baseUrl());
        QCOMPARE(panel(*frame, 2), QString("操作员：新操作员"));
        QCOMPARE(panel(*frame, 3), "业务日期：" + f.s.clock.today().toString("yyyy-MM-dd"));
        QVERIFY(item(*frame, "miSetting")->isVisible());
        QVERIFY(!item(*frame, "miExcute")->isVisible());
        QCOMPARE(f.context.login.senderCode, QString("NEW"));
        QVERIFY(frame->isVisible());
    }

    void quitAsksFirst() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();

        item(*frame, "miExit")->trigger();
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(f.s.prompter.records().size(), 1);
        const RecordingPrompter::Record question = f.s.prompter.last();
        QCOMPARE(question.kind, RecordingPrompter::Kind::Question);
        QCOMPARE(question.text, QString("确认退出KVX管理系统?"));
        QCOMPARE(question.title, QString("KVX管理系统"));
        QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(question.icon, Prompter::Icon::Question);

        f.s.prompter.queueAnswer(Prompter::Answer::Yes);
        QVERIFY(frame->close());
        QVERIFY(!frame->isVisible());
        QCOMPARE(f.s.prompter.records().size(), 2);
    }

    void browserFailureIsReported() {
        Fixture f;
        auto frame = f.frame();
        QVERIFY(!frame->viewWeb(QString()));
        QCOMPARE(f.s.prompter.last().text,
                 QString("不能启动 Web 浏览器,请检查 Internet设置及连接是否正常。"));
        QCOMPARE(f.s.prompter.last().title, frame->windowTitle());
        QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Information);
    }

    void helpFileBelowTheParentFolder() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("Help/KVX.CHM", "chm");
        QDir(folder.path()).mkpath("console");
        const AppFolder app(folder.filePath("console"));
        QCOMPARE(helpFilePath(app), folder.filePath("Help/KVX.CHM"));

        // A missing help file is named in the message.
        test::TestServices s(folder.filePath("console"));
        QFile::remove(folder.filePath("Help/KVX.CHM"));
        AppContext context;
        FrmMain frame(s.services, context);
        frame.showHelp();
        QCOMPARE(s.prompter.last().text,
                 QDir::toNativeSeparators(folder.filePath("Help/kvx.chm")) + "文件不存在！");
    }

    void aboutBoxFromTheHelpMenu() {
        Fixture f;
        auto frame = f.frame();
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(about);
            shown = true;
            QCOMPARE(about->windowTitle(), QString("关于KVX管理系统"));
            about->findChild<QPushButton*>("cmdSysInfo")->click();
            QVERIFY(about->isVisible());
            about->findChild<QPushButton*>("cmdOk")->click();
        });
        item(*frame, "miAbount")->trigger();
        QVERIFY(shown);
        QCOMPARE(f.s.prompter.records().size(), 1);
        QCOMPARE(f.s.prompter.last().text,
                 QString("System Information Is Unavailable At This Time"));
        QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::None);
    }
    // The plan agent's runs that did not end well are announced at the login and while the
    // console runs; a click lists them in the run history window, and they are seen then.
    void agentRunsAnnouncedUntilSeen() {
        Fixture f(TestFolder::Content::Sample);
        addRun(f.app, Origin::Agent, "客户档案", "exchanged", 1);         // records refused
        addRun(f.app, Origin::Agent, "凭证", "exchanged");                // ended well
        addRun(f.app, Origin::Agent, "", "", 0, "refused");               // refused before any item
        addRun(f.app, Origin::Console, "部门档案", "failed");             // the operator was there
        addRun(f.app, Origin::CommandLine, "部门档案", "unanswered");     // so was the script's
        addRun(f.app, Origin::Agent, "存货档案", "failed", 0, "running"); // still under way
        auto frame = f.loggedInFrame();
        QPushButton* notice = agentNotice(*frame);
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->text(), "计划代理有 2 次运行失败或结果未知，单击查看");

        QTest::mouseClick(notice, Qt::LeftButton);
        QWidget* history = frame->workWindow(WorkWindow::RunHistory);
        QVERIFY(history && history->isVisible());
        QCOMPARE(historyLines(*frame), (QStringList{" 被拒绝", "客户档案 部分记录失败"}));
        QVERIFY(notice->isHidden());
        QVERIFY(UnseenAgentRuns::find(RunHistory(f.app)).isEmpty());

        // A new one while the console runs.
        frame->agentRunNotice().setInterval(50);
        addRun(f.app, Origin::Agent, "凭证", "unanswered");
        QTRY_COMPARE(notice->text(), "计划代理有 1 次运行失败或结果未知，单击查看");
        QVERIFY(notice->isVisible());
        // The window lets the first ones go when its box is unticked.
        auto* only = findControl<QCheckBox>(history, "chkRuns");
        QCOMPARE(only->text(), "仅计划代理的这 2 次运行");
        QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(4, only->height() / 2));
        QCOMPARE(historyLines(*frame).size(), 7);
        QVERIFY(only->isHidden());
    }

    // The runs of a history written before runs were marked are old news: not announced.
    void agentRunsOfOlderHistoriesAreSeen() {
        TestFolder folder;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
            db.setDatabaseName(folder.filePath("KVXRunHistory.db"));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("create table runs (id integer primary key autoincrement, "
                               "started text not null, finished text, origin text not null, "
                               "direction text not null, operator text not null default '', "
                               "sender text not null default '', outcome text not null, "
                               "note text not null default '')"));
            QVERIFY(query.exec("insert into runs (started, origin, direction, outcome) values "
                               "('2026-03-01T02:30:00', 'agent', 'import', 'refused')"));
        }
        QSqlDatabase::removeDatabase("older");
        QVERIFY(UnseenAgentRuns::find(RunHistory(AppFolder(folder.path()))).isEmpty());
        addRun(AppFolder(folder.path()), Origin::Agent, "", "", 0, "aborted");
        QCOMPARE(UnseenAgentRuns::find(RunHistory(AppFolder(folder.path()))).size(), 1);
    }
    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("outcome"); // the window kind opened, or kNothing, kPlanAgent
        QTest::newRow("conditions") << "导入导出设置" << int(WorkWindow::ConditionEditor);
        QTest::newRow("replace") << "替换设置" << int(WorkWindow::ReplaceSettings);
        QTest::newRow("exchange") << "数据交换" << int(WorkWindow::ExchangeWindow);
        QTest::newRow("mail") << "邮件传输" << int(WorkWindow::MailWindow);
        QTest::newRow("schedule") << "数据交换计划设置" << int(WorkWindow::ScheduleEditor);
        QTest::newRow("plan agent") << "数据交换计划执行" << kPlanAgent;
        QTest::newRow("mapping does nothing") << "数据映射" << kNothing;
        QTest::newRow("unknown") << "数据" << kNothing;
        QTest::newRow("compared exactly") << "数据交换 " << kNothing;
    }
    // Each command twice: one window in its slot, prepared each time, in front, its topic the
    // frame's.
    void commands() {
        QFETCH(QString, command);
        QFETCH(int, outcome);
        Dispatch f;
        f.run(command);
        f.run(command);
        QVERIFY(f.s.prompter.records().isEmpty());
        QCOMPARE(f.planStarts.count(), outcome == kPlanAgent ? 2 : 0);
        QCOMPARE(f.windows(), outcome >= 0 ? 1 : 0);
        QCOMPARE(f.frm->helpContext(), outcome >= 0 ? 7000 + outcome : HelpTopic::MainFrame);
        QWidget* window = outcome >= 0 ? f.frm->workWindow(WorkWindow(outcome)) : nullptr;
        QCOMPARE(f.prepared, (outcome >= 0 ? QList<QWidget*>{window, window} : QList<QWidget*>()));
        if (window)
            QCOMPARE(f.frm->mdiArea()->activeSubWindow()->widget(), window);
    }

    // Condition-file mode before the editor is shown, whether new or brought back.
    void conditionEditorLeavesPlanMode() {
        Dispatch f;
        f.run("导入导出设置");
        auto* editor = qobject_cast<ProbeWindow*>(f.frm->workWindow(WorkWindow::ConditionEditor));
        editor->m_sche = true;
        editor->hide();
        f.run("导入导出设置");
        QCOMPARE(editor->scheWhenShown, (QList<bool>{false, false}));
    }

    void guards_data() {
        QTest::addColumn<bool>("modal");
        QTest::addColumn<bool>("win9x");
        QTest::addColumn<int>("figure");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("modal dialog open") << true << false << 0 << "有正执行的功能没有确认！";
        QTest::newRow("9x at 15") << false << true << 15 << "资源不足！";
        QTest::newRow("9x at 16") << false << true << 16 << "";
        QTest::newRow("figure never asked elsewhere") << false << false << 0 << "";
    }
    void guards() {
        QFETCH(bool, modal);
        QFETCH(bool, win9x);
        QFETCH(int, figure);
        QFETCH(QString, refusal);
        Dispatch f;
        QDialog dialog(f.frm.get());
        dialog.setModal(true);
        dialog.setVisible(modal);
        f.context.isWin9x = win9x;
        int asked = 0;
        f.frm->commands().setResourceFigure([&] {
            ++asked;
            return figure;
        });
        f.run("数据交换");
        QCOMPARE(asked, win9x ? 1 : 0);
        QCOMPARE(f.windows(), refusal.isEmpty() ? 1 : 0);
        QCOMPARE(f.s.prompter.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        if (modal) {
            QCOMPARE(f.s.prompter.last().title, QString("提示"));
            QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Information);
        } else if (!refusal.isEmpty()) {
            QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Warning);
        }
    }

    // Hidden at the start; shown from the window menu, a command is picked from its list.
    void commandWindow() {
        Dispatch f;
        auto* dock = f.frm->findChild<QDockWidget*>("dockCommands");
        QVERIFY(!dock->isVisible());
        f.frm->findChild<QAction*>("miCommands")->trigger();
        QVERIFY(dock->isVisible());
        auto* list = dock->findChild<QListWidget*>("lstCommands");
        Q_EMIT list->itemActivated(list->findItems("替换设置", Qt::MatchExactly).value(0));
        QVERIFY(f.frm->workWindow(WorkWindow::ReplaceSettings));
    }
};

KVX_TEST_MAIN(MainFrameTest)
#include "tst_main_frame.moc"
