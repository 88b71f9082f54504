#include "history/run_history.h"
#include "platform/process_lock.h"
#include "platform/xml/xml_document.h"
#include "schedule/plan_agent_files.h"
#include "settings/login_settings.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"
#include "tests/server/server_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kCli = QStringLiteral(KVX_CLI_EXE);

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// A sample application folder logged in to the server as demo, with a folder for exports.
struct CliFolder {
    explicit CliFolder(const QString& serverUrl) {
        LoginSettings{serverUrl, "demo", encryptedPassword("demo"), "2026-03-15"}.save(app);
        QDir(folder.path()).mkpath("out");
    }
    // Runs kvx in the folder (relative paths are the folder's) while this process's server
    // answers.
    Outcome run(const QString& program, const QStringList& arguments,
                const QStringList& environment = {}) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("KVX_APP_DIR");
        for (const QString& setting : environment)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder.path());
        process.start(program, arguments);
        QElapsedTimer clock;
        clock.start();
        while (process.state() != QProcess::NotRunning && clock.elapsed() < 120000)
            QTest::qWait(20);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Outcome kvx(const QStringList& arguments) const {
        return run(kCli, QStringList{"--app-dir", "."} + arguments);
    }
    QJsonObject json(const QStringList& arguments) const {
        return QJsonDocument::fromJson(kvx(QStringList{"--json"} + arguments).out.toUtf8())
            .object();
    }

    TestFolder folder;
    AppFolder app{folder.path()};
};

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_data() {
        QTest::addColumn<QStringList>("arguments"); // after --app-dir .
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // on the output or the error output
        QTest::newRow("import by the item's label")
            << QStringList{"import",      "客户档案",          "data/customer.xml",
                           "--operation", "添加|已存在时跳过", "--code",
                           "001"}
            << true << 0 << "导入、导出成功！【关键字=C001】";
        QTest::newRow("import by the interface name, a record refused")
            << QStringList{"import", "person", "data/mend/person.xml"} << true << 1
            << "失败的 1 条记录已写入";
        QTest::newRow("export") << QStringList{"export", "存货档案", "out/inventory.xml", "--code",
                                               "001"}
                                << true << 0 << "out/inventory.xml";
        QTest::newRow("connection failed")
            << QStringList{"import", "客户档案", "data/customer.xml"} << false << 2 << "连接失败";
        QTest::newRow("export without a code")
            << QStringList{"export", "存货档案", "out/inventory.xml"} << true << 3
            << "导出时需选择注册编码！";
        QTest::newRow("export into a folder that is not there")
            << QStringList{"export", "存货档案", "nowhere/inventory.xml", "--code", "001"} << true
            << 3 << "无法写入！";
        QTest::newRow("another item's document")
            << QStringList{"import", "客户档案", "data/vendor.xml"} << true << 3
            << "选择的文件不是与客户档案(customer)相关的文件!";
        QTest::newRow("an operation the item lacks")
            << QStringList{"import", "客户档案", "data/customer.xml", "--operation", "替换"} << true
            << 3 << "操作“替换”不是客户档案的操作";
        QTest::newRow("an item the catalogue lacks")
            << QStringList{"import", "客户", "data/customer.xml"} << true << 3
            << "客户在Dir.xml文件中不存在！";
        QTest::newRow("check finds")
            << QStringList{"check", "职员档案", "data/mend/person.xml"} << true << 1
            << "第 3 条记录【关键字=P103】字段entrydate的值“2019-02-29”不是日期";
        QTest::newRow("check passes") << QStringList{"check", "voucher", "data/voucher.xml"} << true
                                      << 0 << "检查了 4 条记录，未发现问题。";
        QTest::newRow("check of a missing file")
            << QStringList{"check", "voucher", "voucher.xml"} << true << 3 << "文件不存在！";
        QTest::newRow("an unknown option")
            << QStringList{"history", "--fast"} << true << 3 << "未知的选项：--fast";
        QTest::newRow("an option of another command")
            << QStringList{"check", "voucher", "data/voucher.xml", "--code", "001"} << true << 3
            << "命令 check 没有选项 --code";
        QTest::newRow("help") << QStringList{"--help"} << true << 0 << "退出状态：";
    }
    void commands() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, serverUp);
        QFETCH(int, status);
        QFETCH(QString, said);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const CliFolder f(serverUp ? server.baseUrl() : QStringLiteral("http://127.0.0.1:9/"));
        const Outcome outcome = f.kvx(arguments);
        QVERIFY2(outcome.status == status, qPrintable(outcome.out + outcome.err));
        QVERIFY2((outcome.out + outcome.err).contains(said), qPrintable(outcome.out + outcome.err));
    }

    void noApplicationFolder() {
        const CliFolder f(QStringLiteral("http://127.0.0.1:9/"));
        const Outcome outcome = f.run(kCli, {"history"});
        QCOMPARE(outcome.status, 3);
        QVERIFY(outcome.err.contains("KVX_APP_DIR"));
        QCOMPARE(f.run(kCli, {"history"}, {"KVX_APP_DIR=" + f.folder.path()}).status, 0);
    }

    // The command line's runs are the console's, kept as such in the run history, which the
    // command line lists too; --json answers scripts.
    void historyAndJson() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const CliFolder f(server.baseUrl());
        const QJsonObject imported = f.json({"import", "客户档案", "data/customer.xml"});
        QCOMPARE(imported["exitStatus"].toInt(), 0);
        QCOMPARE(imported["outcome"].toString(), "completed");
        const QJsonObject item = imported["items"].toArray().first().toObject();
        QCOMPARE(item["succeeded"].toInt(), 5);
        QCOMPARE(item["outcome"].toString(), "exchanged");
        QVERIFY(imported["report"].toString().contains("【关键字=C005】"));
        QCOMPARE(f.kvx({"import", "person", "data/mend/person.xml"}).status, 1);

        const QStringList lines = f.kvx({"history"}).out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], "时间\t来源\t操作员\t注册编码\t项目\t方向\t成功记录\t失败记录\t结果");
        QVERIFY(lines[1].endsWith("\t命令行\tdemo\t\t职员档案\t导入\t3\t1\t部分记录失败"));
        QVERIFY(lines[2].endsWith("\t命令行\tdemo\t\t客户档案\t导入\t5\t0\t成功"));
        const QJsonArray failed = f.json({"history", "--failed"})["lines"].toArray();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0].toObject()["item"].toString(), "职员档案");
        QCOMPARE(failed[0].toObject()["origin"].toString(), "cli");
        QCOMPARE(failed[0].toObject()["state"].toString(), "partial");
        const Outcome later = f.kvx({"history", "--since", "2099-01-01"});
        QCOMPARE(later.status, 0);
        QCOMPARE(later.out, QString());
    }

    // kvx run-now is the plan agent's run of the schedule (its plan conditions, its report, runs
    // kept as the agent's), waited for by the command line; its exit status is the worst of
    // its imports' and exports'.
    void runNow_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<bool>("login");
        QTest::addColumn<bool>("lockHeld");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("runs"); // "origin direction outcome", oldest first
        const QStringList both = {"agent import completed", "agent export completed"};
        QTest::newRow("done") << "001" << true << true << false << 0 << "存货档案：已导出 2 条记录"
                              << both;
        QTest::newRow("connection failed")
            << "001" << false << true << false << 2 << "连接失败" << both;
        // Refused before anything is sent: the run ends inside the call that starts it.
        QTest::newRow("no login") << "001" << true << false << false << 3 << "LoginWan.ini"
                                  << QStringList{"agent import refused", "agent export refused"};
        QTest::newRow("run by another process")
            << "001" << true << true << true << 3 << "计划 001 正由另一进程执行" << QStringList();
        QTest::newRow("no such schedule")
            << "404" << true << true << false << 3 << "没有注册编码为“404”的计划" << QStringList();
    }
    void runNow() {
        QFETCH(QString, code);
        QFETCH(bool, serverUp);
        QFETCH(bool, login);
        QFETCH(bool, lockHeld);
        QFETCH(int, status);
        QFETCH(QString, said);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const CliFolder f(serverUp ? server.baseUrl() : QStringLiteral("http://127.0.0.1:9/"));
        const QString planConditions = "xml/operation/ScheCondition.xml";
        XmlDocument conditions = XmlDocument::fromFile(f.folder.filePath(planConditions));
        conditions.root()
            .firstChildElement("customer")
            .setAttribute("importfile", f.folder.filePath("data/customer.xml"));
        conditions.root()
            .firstChildElement("inventory")
            .setAttribute("exportfile", f.folder.filePath("out/inventory.xml"));
        QVERIFY(conditions.save(f.folder.filePath(planConditions)));
        if (!login)
            QVERIFY(QFile::remove(f.folder.filePath("LoginWan.ini")));
        ProcessLock held(f.app.resolve(PlanAgentFiles::runLockRelativePath(code)));
        QVERIFY(!lockHeld || held.tryLock() == ProcessLock::State::Free);

        const Outcome outcome = f.kvx({"run-now", code});
        QVERIFY2(outcome.status == status, qPrintable(outcome.out + outcome.err));
        QVERIFY2((outcome.out + outcome.err).contains(said), qPrintable(outcome.out + outcome.err));
        QStringList kept;
        for (const RunHistory::Run& run : RunHistory(f.app).runs())
            kept.prepend(
                RunHistory::storedOrigin(run.origin) +
                (run.direction == RunHistory::Direction::Import ? " import " : " export ") +
                run.outcome);
        QTEST(kept, "runs");
    }

    // A terminal gets the progress line of a document of more than a megabyte, a pipe none.
    void progressOnlyOnATerminal() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const CliFolder f(server.baseUrl());
        for (const char* prefix : {"T", "U"}) {
            QByteArray document = "<ztinterface roottag='customer' sender='001'>";
            for (int i = 0; i < 4000; ++i)
                document += QByteArray("<customer><code>") + prefix + QByteArray::number(i) +
                            "</code><name>" + QByteArray(300, 'n') + "</name></customer>";
            QVERIFY(f.folder.write(prefix + QString(".xml"), document + "</ztinterface>"));
        }
        const Outcome piped = f.kvx({"import", "客户档案", "T.xml"});
        QCOMPARE(piped.status, 0);
        QVERIFY2(!piped.err.contains("正在导入"), qPrintable(piped.err));
        const Outcome terminal = f.run(
            "script", {"-qec", "'" + kCli + "' --app-dir . import 客户档案 U.xml", "/dev/null"});
        QCOMPARE(terminal.status, 0);
        QVERIFY2(terminal.out.contains("\r\x1b[K正在导入客户档案.....  已发送"),
                 qPrintable(terminal.out));
    }
};

KVX_TEST_MAIN_CORE(CliTest)
#include "tst_cli.moc"
