#include "exchange/run_history.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;

namespace {

const QDateTime kStart(QDate(2026, 3, 15), QTime(9, 30));

RunHistory::Run run(RunHistory::Origin origin, RunHistory::Direction direction) {
    return {0, kStart, {}, origin, direction, "demo", "001", {}, {}};
}

RunHistory::Item item(int position, const QString& label, int succeeded, int failed) {
    return {position, label,       "/data/" + label + ".xml", succeeded,
            failed,   "exchanged", "line 1\r\nline 2",        kStart.addSecs(position)};
}

} // namespace

class RunHistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Two programs append to one file; each sees the other's runs, newest first.
    void twoWritersShareOneFile() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        RunHistory console(app);
        RunHistory agent(app);
        QVERIFY2(console.beginRun(run(RunHistory::Origin::Console, RunHistory::Direction::Import)),
                 qPrintable(console.lastError()));
        QVERIFY(agent.beginRun(run(RunHistory::Origin::Agent, RunHistory::Direction::Export)));
        QVERIFY(console.addItem(item(1, "客户档案", 4, 1)));
        QVERIFY(agent.addItem(item(1, "凭证", 12, 0)));
        QVERIFY(console.addItem(item(2, "部门档案", 5, 0)));
        QVERIFY2(agent.finishRun("completed", {}, kStart.addSecs(60)),
                 qPrintable(agent.lastError()));

        const QList<RunHistory::Run> runs = RunHistory(app).runs();
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[0].origin, RunHistory::Origin::Agent);
        QCOMPARE(runs[0].direction, RunHistory::Direction::Export);
        QCOMPARE(runs[0].outcome, "completed");
        QCOMPARE(runs[0].finished, kStart.addSecs(60));
        // A run that never finished (the program ended in it) keeps what it wrote.
        QCOMPARE(runs[1].outcome, "running");
        QCOMPARE(runs[1].operatorName, "demo");
        const QList<RunHistory::Item> items = console.items(runs[1].id);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].item, "客户档案");
        QCOMPARE(items[0].failed, 1);
        QCOMPARE(items[1].report, "line 1\r\nline 2");
        QCOMPARE(items[1].finished, kStart.addSecs(2));
    }

    // A file that cannot be opened answers false everywhere and never throws.
    void unwritableHistoryOnlyAnswersFalse() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        QDir().mkpath(folder.filePath("KVXRunHistory.db/x"));
        RunHistory history{AppFolder(folder.path())};
        QVERIFY(!history.isOpen());
        QVERIFY(!history.lastError().isEmpty());
        QVERIFY(!history.beginRun(run(RunHistory::Origin::Console, RunHistory::Direction::Import)));
        QVERIFY(!history.addItem(item(1, "凭证", 1, 0)));
        QVERIFY(!history.finishRun("completed", {}, kStart));
        QVERIFY(history.runs().isEmpty());
    }
};

KVX_TEST_MAIN_CORE(RunHistoryTest)
#include "tst_run_history.moc"
