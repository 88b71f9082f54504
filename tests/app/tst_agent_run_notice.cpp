#include "app/agent_run_notice.h"
#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/work_windows.h"
#include "find_control.h"
#include "history/run_history.h"
#include "history/unseen_agent_runs.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>

using namespace kvx;
using namespace kvx::test;

namespace {

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

struct Frame {
    // The frame as it is made after the login.
    void open() {
        frame = std::make_unique<FrmMain>(s.services, context);
        registerWorkWindows(*frame, s.services, context);
        frame->show();
    }
    QPushButton* notice() const { return findControl<QPushButton>(frame.get(), "stBarAgentRuns"); }
    QWidget* history() const { return frame->workWindow(WorkWindow::RunHistory); }
    // The run history window's lines: "item state".
    QStringList listed() const {
        const QAbstractItemModel* model = findControl<QTableView>(history(), "grdRuns")->model();
        QStringList lines;
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 4).data().toString() + " " +
                         model->index(row, 8).data().toString();
        return lines;
    }

    TestFolder folder;
    AppFolder app{folder.path()};
    TestServices s{folder.path()};
    AppContext context;
    std::unique_ptr<FrmMain> frame;
};

} // namespace

class AgentRunNoticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The plan agent's runs that did not end well are announced at the login and while the
    // console runs; a click lists them in the run history window, and they are seen then.
    void announcedUntilSeen() {
        Frame f;
        addRun(f.app, Origin::Agent, "客户档案", "exchanged", 1);         // records refused
        addRun(f.app, Origin::Agent, "凭证", "exchanged");                // ended well
        addRun(f.app, Origin::Agent, "", "", 0, "refused");               // refused before any item
        addRun(f.app, Origin::Console, "部门档案", "failed");             // the operator was there
        addRun(f.app, Origin::CommandLine, "部门档案", "unanswered");     // so was the script's
        addRun(f.app, Origin::Agent, "存货档案", "failed", 0, "running"); // still under way
        f.open();
        QVERIFY(f.notice()->isVisible());
        QCOMPARE(f.notice()->text(), "计划代理有 2 次运行失败或结果未知，单击查看");

        QTest::mouseClick(f.notice(), Qt::LeftButton);
        QVERIFY(f.history() && f.history()->isVisible());
        QCOMPARE(f.listed(), (QStringList{" 被拒绝", "客户档案 部分记录失败"}));
        QVERIFY(f.notice()->isHidden());
        QVERIFY(UnseenAgentRuns::find(RunHistory(f.app)).isEmpty());

        // A new one while the console runs.
        f.frame->agentRunNotice().setInterval(50);
        addRun(f.app, Origin::Agent, "凭证", "unanswered");
        QTRY_COMPARE(f.notice()->text(), "计划代理有 1 次运行失败或结果未知，单击查看");
        QVERIFY(f.notice()->isVisible());
        // The window lets the first ones go when its box is unticked.
        auto* only = findControl<QCheckBox>(f.history(), "chkRuns");
        QCOMPARE(only->text(), "仅计划代理的这 2 次运行");
        QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(4, only->height() / 2));
        QCOMPARE(f.listed().size(), 7);
        QVERIFY(only->isHidden());
    }

    // The runs of a history written before runs were marked are old news: not announced.
    void olderHistoriesAreSeen() {
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
};

KVX_TEST_MAIN(AgentRunNoticeTest)
#include "tst_agent_run_notice.moc"
