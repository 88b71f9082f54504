#include "exchange/frm_run_history.h"
#include "find_control.h"
#include "fixture_http_server.h"
#include "history/run_history_model.h"
#include "login/login_context.h"
#include "platform/shared_texts.h"
#include "run_fixture.h"
#include "runs/import_run.h"
#include "test_main.h"
#include "tests/server/server_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace kvx;
using namespace kvx::test;

namespace {

using Origin = RunHistory::Origin;
using Direction = RunHistory::Direction;

RunHistory::Item item(int position, const QString& label, const QString& outcome, int succeeded = 0,
                      int failed = 0) {
    RunHistory::Item item;
    item.position = position;
    item.item = label;
    item.outcome = outcome;
    item.succeeded = succeeded;
    item.failed = failed;
    return item;
}

void addRun(RunHistory& history, const QString& started, Origin origin, const QString& code,
            Direction direction, const QString& outcome, const QList<RunHistory::Item>& items) {
    const QDateTime time = QDateTime::fromString(started, Qt::ISODate);
    QVERIFY(history.beginRun({0, time, {}, origin, direction, "demo", code, {}, {}}));
    for (const RunHistory::Item& done : items)
        QVERIFY(history.addItem(done));
    QVERIFY(history.finishRun(outcome, {}, time.addSecs(5)));
}

// Runs of both origins, codes and directions over two weeks, one refused before any item.
void addFourRuns(const AppFolder& app) {
    RunHistory history(app);
    addRun(history, "2026-03-01T08:00:00", Origin::Agent, "002", Direction::Import, "completed",
           {item(1, "客户档案", "exchanged", 5)});
    addRun(history, "2026-03-10T09:00:00", Origin::Console, "001", Direction::Import, "completed",
           {item(1, "凭证", "exchanged", 3, 1), item(2, "部门档案", "failed")});
    addRun(history, "2026-03-12T10:00:00", Origin::Console, "001", Direction::Export, "refused",
           {});
    addRun(history, "2026-03-15T11:00:00", Origin::Agent, "001", Direction::Export, "completed",
           {item(1, "客户档案", "exchanged", 7), item(2, "存货档案", "skipped")});
}

struct Window {
    explicit Window(TestServices& services, const LoginSettings& settings = {}) {
        login.senderCode = "001";
        login.persistent = settings;
        frm = std::make_unique<FrmRunHistory>(services.services, login);
        frm->show();
    }
    template <typename T> T* find(const QString& name) const {
        return findControl<T>(frm.get(), name);
    }
    // Every line as its columns show it, blank-separated.
    QStringList lines() const {
        QStringList shown;
        const QAbstractItemModel* model = find<QTableView>("grdRuns")->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList columns;
            for (int column = 0; column < model->columnCount(); ++column)
                columns << model->index(row, column).data().toString();
            shown << columns.join(' ');
        }
        return shown;
    }
    QPushButton* button(const QString& name) const { return find<QPushButton>(name); }

    // As a person does it: the combo box's entries walked with the arrow keys until the text
    // shows, a line clicked, a button clicked.
    void chooseByKeys(const QString& combo, const QString& text) const {
        auto* box = find<QComboBox>(combo);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 0; i < box->count() && box->currentText() != text; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), text);
    }
    void clickLine(int row) const {
        auto* grid = find<QTableView>("grdRuns");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, 1)).center());
    }
    void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    LoginContext login;
    std::unique_ptr<FrmRunHistory> frm;
};

} // namespace

class RunHistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filterThroughTheWindow_data() {
        QTest::addColumn<QStringList>("choices"); // "box=text"; dates "from..to"
        QTest::addColumn<QStringList>("lines");
        const QString d1 = "2026-03-15 11:00:00 计划代理 demo 001 客户档案 导出 7 0 成功";
        const QString d2 = "2026-03-15 11:00:00 计划代理 demo 001 存货档案 导出 0 0 未执行";
        const QString c = "2026-03-12 10:00:00 控制台 demo 001  导出   被拒绝";
        const QString b1 = "2026-03-10 09:00:00 控制台 demo 001 凭证 导入 3 1 部分记录失败";
        const QString b2 = "2026-03-10 09:00:00 控制台 demo 001 部门档案 导入 0 0 失败";
        const QString a = "2026-03-01 08:00:00 计划代理 demo 002 客户档案 导入 5 0 成功";
        QTest::newRow("everything") << QStringList() << QStringList{d1, d2, c, b1, b2, a};
        QTest::newRow("item") << QStringList{"cmbItem=客户档案"} << QStringList{d1, a};
        QTest::newRow("code") << QStringList{"cmbCode=002"} << QStringList{a};
        QTest::newRow("some records refused")
            << QStringList{"cmbState=部分记录失败"} << QStringList{b1};
        QTest::newRow("refused run") << QStringList{"cmbState=被拒绝"} << QStringList{c};
        QTest::newRow("days, both included")
            << QStringList{"dates=2026-03-10..2026-03-12"} << QStringList{c, b1, b2};
        QTest::newRow("item and code")
            << QStringList{"cmbItem=客户档案", "cmbCode=001"} << QStringList{d1};
        QTest::newRow("nothing matches")
            << QStringList{"cmbItem=凭证", "cmbCode=002"} << QStringList();
    }
    void filterThroughTheWindow() {
        QFETCH(QStringList, choices);
        QFETCH(QStringList, lines);
        TestFolder folder;
        TestServices services(folder.path());
        addFourRuns(AppFolder(folder.path()));
        Window w(services);
        for (const QString& choice : choices) {
            const QString box = choice.section('=', 0, 0);
            const QString text = choice.section('=', 1);
            if (box != "dates") {
                w.chooseByKeys(box, text);
                continue;
            }
            w.find<QCheckBox>("chkDate")->setChecked(true);
            w.find<QDateEdit>("dtpFrom")->setDate(
                QDate::fromString(text.section("..", 0, 0), Qt::ISODate));
            w.find<QDateEdit>("dtpTo")->setDate(
                QDate::fromString(text.section("..", 1), Qt::ISODate));
        }
        QCOMPARE(w.lines(), lines);
        QTRY_COMPARE(w.find<QLabel>("lblCount")->text(), QString("共 %1 条").arg(lines.size()));
        QVERIFY(services.prompter.texts().isEmpty());
    }

    // Lines are read a page at a time; every page follows the last one read, whatever the
    // history holds.
    void pagesFollowEachOther() {
        TestFolder folder;
        RunHistory history{AppFolder(folder.path())};
        history.database().transaction();
        for (int run = 1; run <= 250; ++run)
            addRun(history, "2026-03-01T08:00:00", Origin::Console, "001", Direction::Import,
                   "completed", {item(1, "客户档案", "exchanged"), item(2, "凭证", "failed")});
        history.database().commit();
        RunHistoryModel model(history);
        model.setFilter({});
        QCOMPARE(model.rowCount(), RunHistoryModel::kPageRows);
        QTRY_COMPARE(model.matchingRows(), 500);
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 500);
        for (int row = 0; row < 500; ++row) {
            QCOMPARE(model.line(row).runId, 250 - row / 2);
            QCOMPARE(model.line(row).position, row % 2 + 1);
        }
    }

    // The demo's practice file: one person is refused; mended in the failed-records file and
    // imported again from the window, it goes in, and both runs are listed.
    void importMendedRecordsFromTheWindow() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        RunFixture run(server.baseUrl());
        const QString source =
            run.writeFile("in/person.xml", run.folder.read("data/mend/person.xml"));
        run.prompter().queuePath(source); // 职员档案 has no default file
        RunWatcher watcher;
        runToEnd(run.services.services, true, run.input({{"职员档案", "添加"}}), watcher);
        const QString failed = run.folder.filePath("in/person.failed.xml");
        QByteArray records = run.folder.read("in/person.failed.xml");
        run.writeFile("in/person.failed.xml", records.replace("2019-02-29", "2019-02-28"));
        run.prompter().clear();

        Window w(run.services, run.login);
        w.chooseByKeys("cmbItem", "职员档案");
        QCOMPARE(w.lines().size(), 1);
        QVERIFY(w.lines().first().endsWith("职员档案 导入 3 1 部分记录失败"));
        w.clickLine(0);
        QVERIFY(w.button("cmdReimport")->isEnabled());
        {
            // Another window's run waits for its answer: no second run beside it.
            FixtureHttpServer silent([](const FixtureHttpServer::Request&) {
                return FixtureHttpServer::Response{200, {}, 0, true};
            });
            RunFixture other(silent.baseUrl());
            other.nameFiles("importfile");
            ImportRun waiting(other.services.services, other.input({{"部门档案", ""}}));
            waiting.start();
            QTRY_VERIFY(!silent.requests().isEmpty());
            QCOMPARE(ExchangeRun::underway(), &waiting);
            w.click("cmdReimport");
            QCOMPARE(run.prompter().texts(), QStringList{SharedText::otherRunUnderway()});
            QCOMPARE(run.prompter().last().icon, Prompter::Icon::Information);
            QVERIFY(!w.frm->run());
            run.prompter().clear();
        }
        run.prompter().queueAnswer(Prompter::Answer::Yes);
        w.click("cmdReimport");
        // The window runs it and waits for its end with the rest of the program.
        QVERIFY(w.frm->run() && !w.button("cmdClose")->isVisible());
        QTRY_VERIFY(!w.frm->run());

        QCOMPARE(run.prompter().texts(),
                 QStringList{"导入失败记录文件" + QDir::toNativeSeparators(failed) +
                             "？\n项目：职员档案，注册编码：001，操作：添加"});
        QVERIFY(run.prompter().displayed().value(0).contains("【关键字=P103】已添加"));
        const QStringList lines = w.lines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith("职员档案 导入 1 0 成功"), qPrintable(lines[0]));
        QVERIFY(lines[1].endsWith("部分记录失败"));
        // Nothing refused this time: nothing to import again.
        w.clickLine(0);
        QVERIFY(!w.button("cmdReimport")->isEnabled());
        w.click("cmdReport");
        const QString report = run.prompter().displayed().last();
        QVERIFY2(report.contains("1. 职员档案：成功，文件" + QDir::toNativeSeparators(failed)),
                 qPrintable(report));
    }

    // A history that cannot be written never stops a run; the operator is told once, and a
    // damaged file keeps its bytes under a name of its own.
    void historyInTrouble_data() {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("told"); // the message's start; %1 the history file
        QTest::addColumn<int>("listed");   // runs in the history afterwards
        QTest::newRow("not a database") << "garbage"
                                        << "运行记录文件%1已损坏，已改名为" << 2;
        QTest::newRow("damaged pages") << "pages"
                                       << "运行记录文件%1已损坏，已改名为" << 2;
        QTest::newRow("a folder in its place") << "folder"
                                               << "运行记录文件%1无法打开" << 0;
    }
    void historyInTrouble() {
        QFETCH(QString, trouble);
        QFETCH(QString, told);
        FixtureHttpServer http([](const FixtureHttpServer::Request& request) {
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body)};
        });
        RunFixture run(http.baseUrl());
        const QString path = run.folder.filePath("KVXRunHistory.db");
        QByteArray damaged(8192, 'x');
        if (trouble == "pages") {
            addFourRuns(run.app());
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            damaged = file.readAll();
            file.seek(4096); // every page after the first, the schema's
            file.write(QByteArray(damaged.size() - 4096, '\xA5'));
            file.close();
            damaged = run.folder.read("KVXRunHistory.db");
        } else if (trouble == "garbage") {
            run.writeFile("KVXRunHistory.db", damaged);
        } else {
            QVERIFY(QDir(run.folder.path()).mkdir("KVXRunHistory.db"));
        }
        run.nameFiles("importfile");
        RunWatcher watcher;
        for (int i = 0; i < 2; ++i) {
            const RunSummary summary =
                runToEnd(run.services.services, true, run.input({{"部门档案", ""}}), watcher);
            QCOMPARE(summary.exchanged, 1);
        }

        const QStringList texts = run.prompter().texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(told.arg(QDir::toNativeSeparators(path))),
                 qPrintable(texts.first()));
        QTEST(int(RunHistory(run.app()).runs().size()), "listed");
        const QStringList aside =
            QDir(run.folder.path()).entryList({"KVXRunHistory-损坏-*.db"}, QDir::Files);
        QCOMPARE(aside.size(), trouble == "folder" ? 0 : 1);
        if (!aside.isEmpty())
            QCOMPARE(run.folder.read(aside.first()), damaged);
    }
};

KVX_TEST_MAIN(RunHistoryTest)
#include "tst_run_history.moc"
