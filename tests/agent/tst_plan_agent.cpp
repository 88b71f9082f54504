#include "agent_prompter.h"
#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "due_time.h"
#include "fixed_clock.h"
#include "fixture_http_server.h"
#include "history/run_history.h"
#include "plan_agent.h"
#include "platform/process_lock.h"
#include "platform/xml/xml_document.h"
#include "run_fixture.h"
#include "schedule/plan_agent_files.h"
#include "schedule/schedule.h"
#include "settings/login_settings.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"
#include "tests/server/server_fixture.h"

#include <QDBusConnection>
#include <QDir>
#include <QProcess>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kAgent = QStringLiteral(KVX_AGENT_EXE);
const QString kPlanConditions = QStringLiteral("xml/operation/ScheCondition.xml");
const QString kSchedules = QStringLiteral("xml/operation/schedule.xml");

// A sample application folder logged in to the server as demo. The plan conditions name the
// sample's files to import for 客户档案 and 凭证 and files under out/ for the exports of
// schedule 001; 部门档案 has no plan condition item.
struct AgentFolder {
    explicit AgentFolder(const QString& serverUrl) {
        LoginSettings{serverUrl, "demo", encryptedPassword("demo"), "2020-01-01"}.save(app);
        XmlDocument conditions = XmlDocument::fromFile(folder.filePath(kPlanConditions));
        const QList<std::tuple<QString, QString, QString>> paths = {
            {"customer", "importfile", folder.filePath("data/customer.xml")},
            {"voucher", "importfile", folder.filePath("data/voucher.xml")},
            {"saleinvoice", "exportfile", folder.filePath("out/saleinvoice.xml")},
            {"inventory", "exportfile", folder.filePath("out/inventory.xml")}};
        for (const auto& [element, attribute, path] : paths)
            conditions.root().firstChildElement(element).setAttribute(attribute, path);
        QDir().mkpath(folder.filePath("out"));
        conditions.save(folder.filePath(kPlanConditions));
    }
    // Changes one attribute of a schedule and writes the file as the editor does.
    void setScheduleAttribute(const QString& code, const QString& attribute, const QString& value) {
        XmlDocument schedules = XmlDocument::fromFile(folder.filePath(kSchedules));
        schedules.root()
            .selectFirst("schedule[@code=$c]", {{"c", code}})
            .setAttribute(attribute, value);
        schedules.save(folder.filePath(kSchedules));
    }
    // "sender direction outcome" of the runs, oldest first.
    QStringList runs() const {
        QStringList lines;
        for (const RunHistory::Run& run : RunHistory(app).runs()) {
            lines.prepend(
                run.senderCode +
                (run.direction == RunHistory::Direction::Import ? " import " : " export ") +
                run.outcome + (run.origin == RunHistory::Origin::Agent ? "" : " console"));
        }
        return lines;
    }

    TestFolder folder;
    AppFolder app{folder.path()};
};

// The agent's services, its clock in the test's hand from the start.
struct AgentServices : OwnedServices<AgentPrompter, FixedClock> {
    AgentServices(const AppFolder& app, const QDateTime& start)
        : OwnedServices(app) {
        clock.set(start);
    }
};

// The agent in this process.
struct Agent : AgentServices {
    Agent(const AgentFolder& f, const QDateTime& start)
        : AgentServices(f.app, start)
        , agent(services, prompter, [this](const QString& line) { log << line; }) {}

    // One look at the clock's time, and the runs it started waited for.
    void lookAt(const QDateTime& time) {
        clock.set(time);
        agent.checkDue();
        QTRY_VERIFY_WITH_TIMEOUT(!agent.isRunning(), 30000);
    }

    QStringList log;
    PlanAgent agent;
};

// A desktop's notification service on a session bus of the test's own.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notes; // "summary\nbody"

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        notes << summary + "\n" + body;
        return uint(notes.size());
    }
};

QDateTime at(const QString& time, const QDate& day = QDate(2026, 3, 15)) {
    return QDateTime(day, QTime::fromString(time, "HH:mm:ss"));
}

XmlDocument scheduleDocument(const QString& attributes) {
    return XmlDocument::fromString("<uinterface><schedule code='001' " + attributes +
                                   "/></uinterface>");
}

QDateTime fromMinute(const QString& text) {
    return QDateTime::fromString(text, "yyyy-MM-dd HH:mm");
}

} // namespace

class PlanAgentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Schedule 001 runs daily at 02:30 from 2026-01-01 to 2027-12-31.
    void runsWhatFallsDue_data() {
        QTest::addColumn<QDateTime>("started");
        QTest::addColumn<QList<QDateTime>>("looks");
        QTest::addColumn<QStringList>("runs");
        const QStringList both = {"001 import completed", "001 export completed"};
        QTest::newRow("at its minute") << at("02:29:40") << QList{at("02:30:01")} << both;
        QTest::newRow("once, however often the agent looks")
            << at("02:29:00") << QList{at("02:30:00"), at("02:30:59"), at("02:31:01")} << both;
        QTest::newRow("a minute late after a long run")
            << at("02:29:00") << QList{at("02:31:30")} << both;
        QTest::newRow("missed before the agent started is not made up")
            << at("02:30:30") << QList{at("02:31:00"), at("02:32:00")} << QStringList();
        QTest::newRow("the clock set back: not again")
            << at("02:29:00") << QList{at("02:30:01"), at("02:10:00"), at("02:30:01")} << both;
        // An invalid look: the agent ends; the next look is the start of a new one.
        QTest::newRow("a new agent after the clock was set back")
            << at("02:29:00") << QList{at("02:30:01"), QDateTime(), at("02:29:00"), at("02:30:05")}
            << both;
        QTest::newRow("after a sleep only the latest missed run")
            << at("01:00:00") << QList{at("05:00:00", QDate(2026, 3, 18))} << both;
        QTest::newRow("after the period")
            << at("02:29:00", QDate(2028, 1, 1)) << QList{at("02:30:30", QDate(2028, 1, 1))}
            << QStringList();
    }
    void runsWhatFallsDue() {
        QFETCH(QDateTime, started);
        QFETCH(QList<QDateTime>, looks);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        AgentFolder f(server.baseUrl());
        std::optional<Agent> a(std::in_place, f, started);
        for (const QDateTime& look : looks) {
            if (!look.isValid()) {
                a.reset();
            } else if (!a) {
                a.emplace(f, look);
            } else {
                a->lookAt(look);
            }
        }
        QTEST(f.runs(), "runs");
    }

    // What one run of schedule 001 leaves in the run history, item by item.
    void runsTheItemsOfTheSchedule() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        AgentFolder f(server.baseUrl());
        Agent a(f, at("02:29:00"));
        QVERIFY(a.agent.refreshSchedules());
        QCOMPARE(a.log, (QStringList{"计划 001：下次执行 2026-03-15 02:30",
                                     "计划 002：下次执行 2026-03-20 22:00",
                                     "计划 003：下次执行 2026-03-28 23:45"}));
        a.lookAt(at("02:30:10"));
        QVERIFY(
            a.log.last().startsWith("计划 001 执行于 2026-03-15 02:30\n导入 3 项，成功 2 项\n"));

        RunHistory history(f.app);
        const QList<RunHistory::Run> runs = history.runs();
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[1].operatorName, "demo");
        QStringList items;
        for (const RunHistory::Run& run : {runs[1], runs[0]}) {
            for (const RunHistory::Item& item : history.items(run.id))
                items << item.item + " " + item.outcome + " " + QString::number(item.succeeded) +
                             "/" + QString::number(item.failed);
        }
        QCOMPARE(items, (QStringList{"客户档案 exchanged 5/0", "凭证 exchanged 4/0",
                                     "部门档案 skipped 0/0", "销售发票 exchanged 0/0",
                                     "存货档案 exchanged 2/0"}));
    }

    // The editor replaces the file while the agent runs: the next look takes the new
    // schedules, whether the file was replaced whole or rewritten in place. The server is
    // asked with the run's own day as business date, whatever LoginWan.ini says.
    void followsTheScheduleFile() {
        FixtureHttpServer http([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{200, "<ztinterface/>"};
        });
        AgentFolder f(http.baseUrl());
        Agent a(f, at("10:00:00"));
        a.lookAt(at("10:00:00"));
        f.setScheduleAttribute("001", "hour", "10");
        f.setScheduleAttribute("001", "minute", "01");
        a.lookAt(at("10:01:05"));
        const QStringList once = {"001 import completed", "001 export completed"};
        QCOMPARE(f.runs(), once);
        QVERIFY(a.log.contains("计划 001：下次执行 2026-03-15 10:01"));
        const XmlDocument posted = XmlDocument::fromBytes(http.requests().first().body);
        QCOMPARE(posted.root().firstChildElement("opinfo").attribute("date"), "2026-03-15");

        QByteArray bytes = f.folder.read(kSchedules);
        bytes.replace("minute=\"01\"", "minute=\"02\"");
        QFile file(f.folder.filePath(kSchedules));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write(bytes);
        file.close();
        a.lookAt(at("10:02:05"));
        QCOMPARE(f.runs(), once + once);
    }

    // A schedule file that does not load keeps the schedules read before; the damage is
    // logged once for each change of the file.
    void keepsTheSchedulesOfADamagedFile() {
        AgentFolder f("http://127.0.0.1:9");
        Agent a(f, at("01:00:00"));
        QVERIFY(a.agent.refreshSchedules());
        const QString path = QDir::toNativeSeparators(f.folder.filePath(kSchedules));
        for (const QByteArray& damage : {QByteArray("<uinterface>"), QByteArray("<uinterface")}) {
            f.folder.write(kSchedules, damage);
            for (const char* look : {"01:01:00", "01:02:00"}) {
                a.clock.set(at(look));
                a.agent.checkDue();
            }
        }
        QCOMPARE(a.agent.schedules().size(), 3);
        const QStringList logged = a.log.filter(path);
        QCOMPARE(logged.size(), 2);
        QVERIFY2(logged.first().startsWith(path + "文件已损坏"), qPrintable(logged.first()));
    }

    // A schedule runs in one process at a time: while another holds its lock, the agent
    // passes its run by.
    void oneProcessRunsASchedule() {
        AgentFolder f("http://127.0.0.1:9");
        ProcessLock held(f.app.resolve(PlanAgentFiles::runLockRelativePath("001")));
        QVERIFY(held.tryLock() == ProcessLock::State::Free);
        Agent a(f, at("02:29:00"));
        a.clock.set(at("02:30:01"));
        a.agent.checkDue();
        QVERIFY2(a.log.last().contains("另一进程"), qPrintable(a.log.join('\n')));
        QCOMPARE(f.runs(), QStringList());
    }

    // KVXTimer --run-now against the reference server: the report and the export files.
    void runNowProgram() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        AgentFolder f(server.baseUrl());
        QProcess agent;
        agent.start(kAgent, {"--app-dir", f.folder.path(), "--run-now", "001"});
        QTRY_VERIFY_WITH_TIMEOUT(agent.state() == QProcess::NotRunning, 60000);
        const QString out = QString::fromLocal8Bit(agent.readAllStandardOutput());
        QCOMPARE(agent.exitCode(), 0);
        QVERIFY2(out.contains("导入 3 项，成功 2 项") && out.contains("导出 2 项，成功 2 项"),
                 qPrintable(out));
        QVERIFY(out.contains("导入、导出成功！【关键字=C001】")); // the import report
        QVERIFY(out.contains("导出文件：" +
                             QDir::toNativeSeparators(f.folder.filePath("out/inventory.xml"))));
        QCOMPARE(XmlDocument::fromFile(f.folder.filePath("out/inventory.xml"))
                     .select("/ztinterface/inventory")
                     .size(),
                 2);
        QCOMPARE(f.runs(), (QStringList{"001 import completed", "001 export completed"}));

        agent.start(kAgent, {"--app-dir", f.folder.path(), "--run-now", "404"});
        QTRY_VERIFY_WITH_TIMEOUT(agent.state() == QProcess::NotRunning, 60000);
        QCOMPARE(agent.exitCode(), 1);
        QVERIFY(agent.readAllStandardError().contains("404"));
    }

    // A run that did not end well is noted on the desktop where the session bus has a
    // notification service; without a bus the agent's log is all.
    void notifiesTheDesktop() {
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        // A connection of its own: this process's session bus was settled by the agents that
        // ran in it before.
        QDBusConnection bus = QDBusConnection::connectToBus(address, "notification service");
        NotificationService service;
        QVERIFY(bus.registerService("org.freedesktop.Notifications"));
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", &service,
                                   QDBusConnection::ExportAllSlots));

        AgentFolder f("http://127.0.0.1:9/"); // nobody answers there
        QProcess agent;
        agent.start(kAgent, {"--app-dir", f.folder.path(), "--run-now", "001"});
        QTRY_VERIFY_WITH_TIMEOUT(agent.state() == QProcess::NotRunning, 60000);
        QCOMPARE(service.notes.size(), 1);
        QVERIFY2(
            service.notes[0].startsWith("计划 001 的运行失败或结果未知\n导入 3 项，成功 0 项\n"),
            qPrintable(service.notes[0]));

        QProcessEnvironment noBus = QProcessEnvironment::systemEnvironment();
        noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + f.folder.filePath("no-bus"));
        agent.setProcessEnvironment(noBus);
        agent.start(kAgent, {"--app-dir", f.folder.path(), "--run-now", "001"});
        QTRY_VERIFY_WITH_TIMEOUT(agent.state() == QProcess::NotRunning, 60000);
        QCOMPARE(agent.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(agent.readAllStandardOutput()).contains("连接失败"));
        QCOMPARE(service.notes.size(), 1);
        QDBusConnection::disconnectFromBus("notification service");
        daemon.kill();
        daemon.waitForFinished();
    }

    // The console imports again and again while KVXTimer runs schedule 001 in a process of its
    // own: both append to the one history file at the same time, and every run is kept whole.
    void consoleAndAgentAppendAtOnce() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        AgentFolder f(server.baseUrl());
        TestServices console(f.folder.path());
        Catalogue catalogue;
        OperationsFile operations;
        QVERIFY(catalogue.load(f.app) && operations.load(f.app));
        ExchangeRunInput input;
        input.items = {{"客户档案", "添加|已存在时跳过", std::nullopt,
                        f.folder.filePath("data/customer.xml")}};
        input.senderCode = "001";
        input.login = *LoginSettings::load(f.app);
        input.catalogue = &catalogue;
        input.operations = &operations;
        QProcess agent;
        agent.start(kAgent, {"--app-dir", f.folder.path(), "--run-now", "001"});
        QVERIFY(agent.waitForStarted());
        RunWatcher watcher;
        int consoleRuns = 0;
        for (; agent.state() != QProcess::NotRunning || consoleRuns < 3; ++consoleRuns)
            QCOMPARE(runToEnd(console.services, true, input, watcher).exchanged, 1);
        QCOMPARE(agent.exitCode(), 0);
        QVERIFY2(console.prompter.texts().isEmpty(),
                 qPrintable(console.prompter.texts().join('\n')));

        RunHistory history(f.app);
        QStringList kept;
        for (const RunHistory::Run& run : history.runs(1000)) {
            const QString line =
                QString("%1 %2 %3 items")
                    .arg(run.origin == RunHistory::Origin::Agent ? "agent" : "console", run.outcome)
                    .arg(history.items(run.id).size());
            if (!kept.contains(line))
                kept << line;
        }
        kept.sort();
        QCOMPARE(kept, (QStringList{"agent completed 2 items", "agent completed 3 items",
                                    "console completed 1 items"}));
        QCOMPARE(history.runs(1000).size(), consoleRuns + 2);
    }

    // One agent per application folder: a second one ends at once.
    void secondAgentIsRefused() {
        TestFolder folder;
        QProcess first;
        first.start(kAgent, {"--app-dir", folder.path()});
        QByteArray started;
        QTRY_VERIFY_WITH_TIMEOUT((started += first.readAllStandardOutput()).contains("已启动"),
                                 20000);
        QProcess second;
        second.start(kAgent, {"--app-dir", folder.path()});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(second.readAllStandardError())
                    .contains(PlanAgentFiles::alreadyRunningMessage()));
        first.kill();
        QVERIFY(first.waitForFinished(20000));
        // A folder that cannot hold the lock is said so, not taken for a running agent.
        second.start(kAgent, {"--app-dir", folder.filePath("missing")});
        QVERIFY(second.waitForFinished(20000));
        QVERIFY(second.exitCode() != 0);
        const QString refusal = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(refusal.contains("锁文件") &&
                     !refusal.contains(PlanAgentFiles::alreadyRunningMessage()),
                 qPrintable(refusal));
    }

    // A schedule's next run after a minute, and when it falls due.
    void nextRun_data() {
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("next"); // empty: none
        const QString period = "begin='2020-01-01' end='2030-12-31' ";
        auto row = [&](const char* name, const QString& attributes, const QString& after,
                       const QString& next) {
            QTest::newRow(name) << period + attributes << after << next;
        };
        row("day: a minute before", "type='day' hour='9' minute='30'", "2026-03-15 09:29",
            "2026-03-15 09:30");
        row("day: strictly after", "type='day' hour='9' minute='30'", "2026-03-15 09:30",
            "2026-03-16 09:30");
        row("day: across the year end", "type='day' hour='0' minute='0'", "2026-12-31 00:00",
            "2027-01-01 00:00");
        row("week: Friday", "type='week' weekday='5' hour='22' minute='0' day='99'",
            "2026-03-15 12:00", "2026-03-20 22:00");
        row("week: Monday across the year end", "type='week' weekday='1' hour='8' minute='05'",
            "2026-12-30 08:00", "2027-01-04 08:05");
        row("week: Sunday is 7", "type='week' weekday='7' hour='8' minute='0'", "2026-03-14 08:00",
            "2026-03-15 08:00");
        row("month: 31st falls on April 30", "type='month' day='31' hour='23' minute='45'",
            "2026-04-01 00:00", "2026-04-30 23:45");
        row("month: 31st in a leap February", "type='month' day='31' hour='1' minute='0'",
            "2024-02-01 00:00", "2024-02-29 01:00");
        row("month: 30th in a common February", "type='month' day='30' hour='1' minute='0'",
            "2023-02-01 00:00", "2023-02-28 01:00");
        row("month: past the run of January 31", "type='month' day='31' hour='23' minute='45'",
            "2026-01-31 23:45", "2026-02-28 23:45");
        row("month: 28th", "type='month' day='28' hour='23' minute='45'", "2026-03-15 00:00",
            "2026-03-28 23:45");
        row("year: February 29 in a leap year",
            "type='year' month='2' day='29' hour='6' minute='0'", "2023-03-01 00:00",
            "2024-02-29 06:00");
        row("year: February 29 in a common year",
            "type='year' month='2' day='29' hour='6' minute='0'", "2024-02-29 06:00",
            "2025-02-28 06:00");
        row("year: last minute of the year",
            "type='year' month='12' day='31' hour='23' minute='59'", "2026-12-31 23:59",
            "2027-12-31 23:59");
        row("year: 31st of a 30-day month", "type='year' month='9' day='31' hour='7' minute='0'",
            "2026-01-01 00:00", "2026-09-30 07:00");
        QTest::newRow("begin: first day of the period")
            << "type='day' hour='9' minute='0' begin='2026-04-01' end='2026-12-31'"
            << "2026-03-15 10:00"
            << "2026-04-01 09:00";
        QTest::newRow("end: its day is included")
            << "type='day' hour='23' minute='0' begin='2026-01-01' end='2026-03-15'"
            << "2026-03-15 10:00"
            << "2026-03-15 23:00";
        QTest::newRow("end: period over")
            << "type='day' hour='9' minute='0' begin='2026-01-01' end='2026-03-15'"
            << "2026-03-15 10:00"
            << "";
        QTest::newRow("end: a yearly run beyond the end")
            << "type='year' month='6' day='1' hour='9' minute='0' begin='2026-01-01' "
               "end='2027-05-31'"
            << "2026-06-01 09:00"
            << "";
        QTest::newRow("begin after end")
            << "type='day' hour='9' minute='0' begin='2026-05-01' end='2026-04-01'"
            << "2026-03-15 10:00"
            << "";
    }
    void nextRun() {
        QFETCH(QString, attributes);
        QFETCH(QString, after);
        QString problem;
        const std::optional<ScheduleTiming> timing =
            Schedule::read(scheduleDocument(attributes).root().firstChildElement())
                .timing(&problem);
        QVERIFY2(timing, qPrintable(problem));
        const auto found = DueTime::nextRunAfter(*timing, fromMinute(after));
        QTEST(found ? found->toString("yyyy-MM-dd HH:mm") : QString(), "next");
        // Due exactly when the run time lies in the minutes looked at and was not run yet.
        if (found) {
            QCOMPARE(DueTime::dueRun(*timing, fromMinute(after), *found, {}), found);
            QCOMPARE(DueTime::lastRunUpTo(*timing, found->addSecs(59)), found);
            QVERIFY(!DueTime::dueRun(*timing, fromMinute(after), found->addSecs(-1), {}));
            QVERIFY(!DueTime::dueRun(*timing, *found, found->addSecs(59), {}));
            QVERIFY(!DueTime::dueRun(*timing, fromMinute(after), *found, found->addSecs(1)));
        }
    }
};

KVX_TEST_MAIN_CORE(PlanAgentTest)
#include "tst_plan_agent.moc"
