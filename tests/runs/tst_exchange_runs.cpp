#include "element_outline.h"
#include "fixture_http_server.h"
#include "login/server_interface.h"
#include "platform/http_client.h"
#include "platform/shared_texts.h"
#include "run_fixture.h"
#include "runs/attachment_queue.h"
#include "runs/import_run.h"
#include "runs/mail_hand_over.h"
#include "test_main.h"

#include <QDir>
#include <QRegularExpression>
#include <QTcpServer>

using namespace kvx;
using namespace kvx::test;

using Items = QList<SelectedExchangeItem>;

namespace {

const QString kNoAnswer = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");

// The data document a server answers to a query: declared in another encoding, with root
// attributes of its own and two records.
QByteArray dataDocumentFor(const QByteArray& query) {
    const QString roottag = XmlDocument::fromBytes(query).root().attribute("roottag");
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ztinterface sender=\"m6\" "
                          "receiver=\"001\" roottag=\"%1\" docid=\"77\" proc=\"Query\" "
                          "codeexchanged=\"n\" exportneedexch=\"y\"><%1><code>K1</code>"
                          "<name>杭州堃源</name></%1><%1><code>K2</code></%1></ztinterface>")
        .arg(roottag)
        .toUtf8();
}

// A run against an exchange server on 127.0.0.1 that keeps what was posted and answers
// imports with one result item per record, queries with a data document, or as `answer` says.
struct Scenario {
    explicit Scenario(const QString& serverUrl = {})
        : run(serverUrl.isEmpty() ? http.baseUrl() : serverUrl) {}

    RunSummary exchange(bool import, const ExchangeRunInput& input) {
        return runToEnd(run.services.services, import, input, host);
    }
    XmlDocument posted(int index) const {
        return XmlDocument::fromBytes(http.requests().at(index).body);
    }
    QStringList roottags() const {
        QStringList result;
        for (int i = 0; i < http.requests().size(); ++i)
            result.append(posted(i).root().attribute("roottag"));
        return result;
    }
    // Message texts with "%1" standing for the application folder.
    QStringList inFolder(QStringList texts) const {
        return texts.replaceInStrings("%1", AppFolder::toNative(run.folder.path()));
    }

    FixtureHttpServer::Handler answer;
    FixtureHttpServer http{[this](const FixtureHttpServer::Request& request) {
        if (answer)
            return answer(request);
        const bool query = request.body.contains("proc=\"Query\"");
        return FixtureHttpServer::Response{200, query ? dataDocumentFor(request.body)
                                                      : resultDocumentFor(request.body)};
    }};
    RunFixture run;
    RunWatcher host;
};

using Setup = std::function<void(Scenario&)>;

// An address at which nothing listens.
QString closedAddress() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
}

// The report block of a result in which every record was taken.
QString block(const QString& label, const QStringList& keys) {
    QString text = label + QStringLiteral("\r\n");
    for (const QString& key : keys)
        text += QStringLiteral("导入、导出成功！【关键字=") + key + QStringLiteral("】\r\n");
    return text + QStringLiteral("\r\n");
}

const QString kDepartments = block("部门档案", {"D01", "D02", "D03", "D04", "D05"});
const QString kCustomers = block("客户档案", {"C001", "C002", "C003", "C004", "C005"});

class CountingTransport : public MailHandOver {
public:
    void transfer() override { ++transfers; }
    int transfers = 0;
};

#define QVERIFY_NO_PROMPT(prompter)                                                                \
    QVERIFY2((prompter).texts().isEmpty(), qPrintable((prompter).texts().join('\n')))

} // namespace

Q_DECLARE_METATYPE(Setup)

class ExchangeRunsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Failed records and their file are the failed-records suite's; the report's lines are
    // the interface documents'.
    void importPostsTheCompletedDocuments() {
        Scenario s;
        s.run.nameFiles("importfile");
        const RunSummary summary =
            s.exchange(true, s.run.input({{"客户档案", "添加|已存在时跳过"}, {"部门档案", ""}}));

        QVERIFY_NO_PROMPT(s.run.prompter());
        QCOMPARE(summary.end, RunSummary::End::Completed);
        QCOMPARE(s.http.requests().first().path, QStringLiteral("/M6Kvx/import.asp"));
        QCOMPARE(s.run.prompter().displayed(),
                 QStringList{"\r\n" + kCustomers + "\r\n" + kDepartments});
        QCOMPARE(s.host.progress,
                 QStringList({"正在导入客户档案..... (1/2)", "导入客户档案结束！ (1/2)",
                              "正在导入部门档案..... (2/2)", "导入部门档案结束！ (2/2)"}));

        // The file's attributes, then the options, codeexchanged, display and family and the
        // operation's proc; the records as they were; opinfo last.
        const XmlDocument customer = s.posted(0);
        QCOMPARE(customer.encoding().toLower(), QStringLiteral("gb2312"));
        QCOMPARE(
            attributeText(customer.root().attributes(), " "),
            "sender=001 receiver=m6 roottag=customer docid=903182647 proc=Add updateexisting=n "
            "skipexisting=y codeexchanged=n display=客户档案 family=基础档案");
        QCOMPARE(customer.select("/ztinterface/customer").size(), 5);
        QCOMPARE(attributeText(customer.root().childElements().last().attributes(), " "),
                 "operator=demo pwd=" + encryptedPassword("demo") + " date=2026-03-15");
        // An empty operation string: "add", whatever the file says ("Add").
        QCOMPARE(s.posted(1).root().attribute("proc"), QStringLiteral("add"));
        // The last answer stays in the application folder.
        const XmlDocument kept = XmlDocument::fromFile(s.run.folder.filePath("Kvxtemp.xml"));
        QCOMPARE(kept.selectFirst("//item").attribute("key"), QStringLiteral("D01"));
    }

    void filesChosenWhenNoDefaultPath() {
        Scenario s;
        // 职员档案 has no condition item; 部门档案's template names no file. The first dialog of
        // each run is answered, the second cancelled: that item is skipped without a word.
        s.run.prompter().queuePath(s.run.sampleData("person"));
        const Items items = {{"职员档案", "添加"}, {"部门档案", "添加"}};
        s.exchange(true, s.run.input(items));
        s.run.prompter().queuePath(s.run.folder.filePath("out/person.xml"));
        const RunSummary exported = s.exchange(false, s.run.input(items));

        QStringList dialogs;
        for (const RecordingPrompter::Record& record : s.run.prompter().records()) {
            if (record.kind == RecordingPrompter::Kind::Display)
                continue;
            dialogs.append(record.title);
            QCOMPARE(record.text, QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*"));
        }
        QCOMPARE(dialogs, QStringList({"选择导入文件：职员档案", "选择导入文件：部门档案",
                                       "选择导出文件：职员档案", "选择导出文件：部门档案"}));
        QCOMPARE(s.run.prompter().records().first().kind, RecordingPrompter::Kind::OpenFile);
        QCOMPARE(s.run.prompter().last().kind, RecordingPrompter::Kind::SaveFile);
        QCOMPARE(s.roottags(), QStringList({"person", "person"}));
        // No condition item: the query holds opinfo alone.
        QCOMPARE(s.posted(1).root().childElements().size(), 1);
        QCOMPARE(exported.files, QStringList{s.run.folder.filePath("out/person.xml")});
        // The export says what it did for each item.
        QCOMPARE(s.run.prompter().displayed().last(),
                 "导出结果\r\n职员档案：已导出 2 条记录到" +
                     AppFolder::toNative(exported.files.first()) +
                     "\r\n部门档案：没有默认文件，也未选择文件，该项目未执行。\r\n\r\n"
                     "导出结束：成功 1 项，失败 0 项，结果未知 0 项，未执行 1 项，共 2 项\r\n");
    }

    // 客户档案 fails, 部门档案 after it goes through. A message of the table matches whole or
    // up to a line break (the system's reason after it).
    void oneFailedItemLeavesTheRunGoing_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("messages"); // %1: the application folder
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("posted");
        const auto file = [](const QByteArray& bytes) {
            return Setup([bytes](Scenario& s) {
                s.run.setConditionAttribute("customer", "客户档案", "001", "importfile",
                                            s.run.writeFile("in/bad.xml", bytes));
            });
        };
        const auto firstAnswer = [](int status, const QByteArray& body) {
            return Setup([status, body](Scenario& s) {
                s.answer = [&s, status, body](const FixtureHttpServer::Request& request) {
                    if (s.http.requests().size() == 1)
                        return FixtureHttpServer::Response{status, body};
                    const bool query = request.body.contains("proc=\"Query\"");
                    return FixtureHttpServer::Response{200, query
                                                                ? dataDocumentFor(request.body)
                                                                : resultDocumentFor(request.body)};
                };
            });
        };
        // posted: whether 客户档案's document reached the server before 部门档案's.
        const auto row = [](const char* tag, bool import, const Setup& setup,
                            const QStringList& messages, Prompter::Icon icon, bool posted) {
            QTest::newRow(tag) << import << setup << messages << int(icon)
                               << (posted ? QStringList{"customer"} : QStringList());
        };
        const Prompter::Icon warning = Prompter::Icon::Warning;
        const Prompter::Icon none = Prompter::Icon::None;
        row("import, no roottag", true, file("<ztinterface><customer/></ztinterface>"),
            {"%1/in/bad.xml该文件中没有必须的roottag属性！"}, warning, false);
        row("import, entity declared", true,
            file("<!DOCTYPE ztinterface [<!ENTITY co 'ACME'>]><ztinterface roottag='customer'>"
                 "<customer><code>&co;</code></customer></ztinterface>"),
            {"%1/in/bad.xml不能导入：文档类型声明中声明了实体“co”，接口文档不允许声明实体！"},
            warning, false);
        row("import, roottag in other letter case", true,
            file("<ztinterface roottag='Customer'><Customer/></ztinterface>"),
            {"选择的文件不是与客户档案(customer)相关的文件!"}, warning, false);
        row("import, no records", true,
            file("<ztinterface roottag='customer'><opinfo><customer/></opinfo></ztinterface>"),
            {"选择的文件格式不对或文件中不包含数据!"}, warning, false);
        row("import, status 500", true, firstAnswer(500, "数据库忙"),
            {"连接失败！服务器信息：数据库忙"}, warning, true);
        row("import, long answer not XML, cut for showing", true,
            firstAnswer(200, QByteArray(100000, 'x')), {"导入失败！\n" + QString(4000, 'x') + "……"},
            none, true);
        // The records were taken all the same: both blocks are reported.
        row("import, Kvxtemp.xml unsavable", true,
            Setup([](Scenario& s) { QDir(s.run.folder.path()).mkdir("Kvxtemp.xml"); }),
            QStringList(2, "%1/Kvxtemp.xml文件保存失败！"), warning, true);
        row("import, answer declares an entity", true,
            firstAnswer(200, "<!DOCTYPE result [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                             "<result><item succeed='0' key='&x;'/></result>"),
            {"导入失败！\n服务器的应答不予接受：文档类型声明中声明了实体“x”，"
             "接口文档不允许声明实体"},
            none, true);
        row("export, answer names an external subset", false,
            firstAnswer(200, "<!DOCTYPE ztinterface SYSTEM 'x.dtd'><ztinterface/>"),
            {"导出失败！\n服务器的应答不予接受：文档类型声明引用了外部文件“x.dtd”，"
             "接口文档不允许引用外部文件"},
            none, true);
        row("export, status 500", false, firstAnswer(500, "故障测试"),
            {"连接失败！服务器信息：故障测试"}, warning, true);
        // The export file's folder is a file.
        row("export, file unsavable", false, Setup([](Scenario& s) {
                s.run.setConditionAttribute("customer", "客户档案", "001", "exportfile",
                                            s.run.folder.filePath("out/customer.xml/c.xml"));
            }),
            {"%1/out/customer.xml/c.xml文件保存失败！"}, warning, true);
    }
    void oneFailedItemLeavesTheRunGoing() {
        QFETCH(bool, import);
        QFETCH(Setup, setup);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, posted);
        Scenario s;
        s.run.nameFiles(import ? "importfile" : "exportfile");
        s.run.writeFile("out/customer.xml", "kept");
        setup(s);
        const RunSummary summary =
            s.exchange(import, s.run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}));

        const QStringList texts = s.run.prompter().texts();
        QCOMPARE(texts.size(), messages.size());
        messages = s.inFolder(messages);
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY2(texts[i] == messages[i] || texts[i].startsWith(messages[i] + "\n"),
                     qPrintable(texts[i]));
        QTEST(int(s.run.prompter().last().icon), "icon");
        QCOMPARE(s.roottags(), posted + QStringList{"department"});
        const bool customersTaken = messages.size() == 2;
        QCOMPARE(summary.exchanged, customersTaken ? 2 : 1);
        if (import) {
            QCOMPARE(
                s.run.prompter().displayed(),
                QStringList{"\r\n" + (customersTaken ? kCustomers + "\r\n" : "") + kDepartments});
        } else {
            QCOMPARE(s.run.folder.read("out/customer.xml"), QByteArray("kept"));
            QCOMPARE(summary.files, QStringList{s.run.folder.filePath("out/department.xml")});
            const QStringList lines = s.run.prompter().displayed().value(0).split("\r\n");
            QVERIFY2(lines.value(1).startsWith("客户档案：失败：" + messages.first().simplified()),
                     qPrintable(lines.value(1)));
        }
        // The run history keeps both items, the failed one with what it showed.
        RunHistory history(s.run.app());
        const QList<RunHistory::Run> runs = history.runs();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0].outcome, "completed");
        const QList<RunHistory::Item> items = history.items(runs[0].id);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0].outcome, customersTaken ? "exchanged" : "failed");
        QVERIFY2(items[0].report.contains(texts.first()), qPrintable(items[0].report));
        QCOMPARE(items[1].outcome + " " + QFileInfo(items[1].file).fileName(),
                 "exchanged department.xml");
        QCOMPARE(items[1].succeeded, import ? 5 : 2); // records imported, or written
    }

    void errorsEndTheImportWithTheReportSoFar_data() {
        QTest::addColumn<bool>("operationsLoaded");
        QTest::addColumn<QString>("message"); // %1: the application folder
        QTest::newRow("operation without proc")
            << true << "ImOperation.xml中的操作“核对”没有proc属性！";
        QTest::newRow("operations file missing")
            << false << "%1/xml/operation/ImOperation.xml文件不存在！";
    }
    void errorsEndTheImportWithTheReportSoFar() {
        QFETCH(bool, operationsLoaded);
        QFETCH(QString, message);
        Scenario s;
        s.run.nameFiles("importfile");
        const QString operationsPath = s.run.folder.filePath("xml/operation/ImOperation.xml");
        XmlDocument operations = XmlDocument::fromFile(operationsPath);
        operations.selectFirst("//客户档案/操作").appendChild("核对");
        QVERIFY(operations.save(operationsPath));
        QVERIFY(s.run.operations.load(s.run.app()));
        OperationsFile notLoaded;
        ExchangeRunInput input =
            s.run.input({{"部门档案", ""}, {"客户档案", "核对"}, {"职员档案", "添加"}});
        if (!operationsLoaded)
            input.operations = &notLoaded; // a blank operation needs no operations file
        const RunSummary summary = s.exchange(true, input);

        QCOMPARE(summary.end, RunSummary::End::Aborted);
        QCOMPARE(s.run.prompter().texts(), s.inFolder({message}));
        QCOMPARE(s.run.prompter().last().icon, Prompter::Icon::Critical);
        // The error is shown before the report.
        QCOMPARE(s.run.prompter().records().last().kind, RecordingPrompter::Kind::Display);
        QCOMPARE(s.roottags(), QStringList{"department"});
        QCOMPARE(s.run.prompter().displayed(),
                 QStringList{"\r\n" + kDepartments + "\r\n导入因错误中止：成功 1 项，失败 1 项，" +
                             "结果未知 0 项，未执行 1 项，共 3 项\r\n"});
    }

    // 客户档案's request is sent but gets no answer; 部门档案 follows unless the operator
    // cancelled. Such an item is neither a success nor a failure: the server may have taken
    // it, and the report says so. "%1" in a message stands for why no answer came.
    void unansweredAndCancelledItems_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QString>("first"); // what the server does with the first request
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("counts"); // succeeded failed unknown not-run
        QTest::addColumn<QString>("closing");
        QTest::addColumn<int>("posted");
        const QString imported = "导入结果未知：请求已发给服务器，但%1。服务器可能已经接收了这些"
                                 "记录，请先在服务器上核对，再决定是否重新导入，以免记录重复！";
        const QString exported = "导出失败：请求已发给服务器，但%1，没有收到数据。";
        const QString timedOut = "等待应答超过了时限";
        const QString cancelled = "等待应答时已取消";
        const auto row = [](const char* tag, bool import, const char* first, const QString& message,
                            const char* counts, const QString& closing, int posted) {
            QTest::newRow(tag) << import << QString(first) << message << QString(counts) << closing
                               << posted;
        };
        const QString importCancelled = "导入已取消：成功 %1 项，失败 %2 项，结果未知 %3 项，"
                                        "未执行 %4 项，共 %5 项";
        row("import, timed out", true, "never", imported.arg(timedOut), "1 0 1 0", "", 2);
        row("import, connection dropped, never sent again", true, "drop",
            imported.arg("应答前连接已中断"), "1 0 1 0", "", 2);
        row("import, cancelled while waiting", true, "waiting", imported.arg(cancelled), "0 0 1 1",
            importCancelled.arg(0).arg(0).arg(1).arg(1).arg(2), 1);
        row("import, cancelled before sending", true, "before sending", "", "0 0 0 2",
            importCancelled.arg(0).arg(0).arg(0).arg(2).arg(2), 0);
        row("import, failed item, cancelled after the next", true, "missing file", "", "1 1 0 1",
            importCancelled.arg(1).arg(1).arg(0).arg(1).arg(3), 1);
        // Nothing listens: each item fails with the connection message, and the run goes on.
        row("import, never connected", true, "closed", kNoAnswer, "0 2 0 0", "", 0);
        row("export, timed out", false, "never", exported.arg(timedOut), "1 0 1 0",
            "部门档案：已导出 2 条记录到%1\r\n\r\n导出结束：", 2);
        row("export, cancelled while waiting", false, "waiting", exported.arg(cancelled), "0 0 1 1",
            "部门档案：已取消，未执行\r\n\r\n导出已取消：", 1);
    }
    void unansweredAndCancelledItems() {
        QFETCH(bool, import);
        QFETCH(QString, first);
        QFETCH(QString, message);
        QFETCH(QString, counts);
        QFETCH(QString, closing);
        Scenario s(first == "closed" ? closedAddress() : QString());
        s.run.services.http.setTimeoutMilliseconds(HttpClient::Limit::Run, 400);
        s.run.nameFiles(import ? "importfile" : "exportfile");
        Items items = {{"客户档案", "添加"}, {"部门档案", "添加"}};
        const bool cancelled = first == "waiting" || first == "before sending";
        if (first == "missing file") {
            s.run.setConditionAttribute("customer", "客户档案", "001", "importfile", "none.xml");
            s.host.cancelAt("导入部门档案结束！");
            items.append(SelectedExchangeItem{"职员档案", "添加"});
        } else {
            s.answer = [&s, first](const FixtureHttpServer::Request& request) {
                const bool query = request.body.contains("proc=\"Query\"");
                FixtureHttpServer::Response response{200, query ? dataDocumentFor(request.body)
                                                                : resultDocumentFor(request.body)};
                response.never = s.http.requests().size() == 1 && first != "drop";
                response.drop = s.http.requests().size() == 1 && first == "drop";
                return response;
            };
            // Before sending: while the document is read and completed.
            s.host.cancelAt(first == "before sending" ? "正在导入客户档案....." : first);
        }
        const RunSummary summary = s.exchange(import, s.run.input(items));

        QCOMPARE(QString("%1 %2 %3 %4")
                     .arg(summary.exchanged)
                     .arg(summary.failed)
                     .arg(summary.unanswered)
                     .arg(summary.notRun()),
                 counts);
        QTEST(int(s.roottags().size()), "posted");
        // A request the operator cancelled is not shown again as a message.
        const int messages =
            first == "closed" ? 2 : first == "missing file" || (!message.isEmpty() && !cancelled);
        QCOMPARE(s.run.prompter().texts().size(), messages);
        if (messages && !message.isEmpty())
            QCOMPARE(s.run.prompter().texts().first(), message);
        if (!import) {
            QCOMPARE(summary.files, cancelled
                                        ? QStringList()
                                        : QStringList{s.run.folder.filePath("out/department.xml")});
            // Unknown, and why; then what came of the next item.
            const QString shown = s.run.prompter().displayed().value(0);
            QVERIFY2(shown.startsWith("导出结果\r\n客户档案：结果未知：" + message + "\r\n" +
                                      closing.arg(AppFolder::toNative(
                                          s.run.folder.filePath("out/department.xml")))),
                     qPrintable(shown));
            return;
        }
        QString report = message.isEmpty() || first == "closed"
                             ? QString()
                             : "\r\n客户档案\r\n" + message + "\r\n\r\n";
        if (first == "closed") {
            QVERIFY(s.run.prompter().displayed().isEmpty());
            return;
        }
        if (!cancelled)
            report += "\r\n" + kDepartments;
        if (!closing.isEmpty())
            report += "\r\n" + closing + "\r\n";
        QCOMPARE(s.run.prompter().displayed(), QStringList{report});
    }

    // The operator, asked whether to end the run while its request waits, takes time to
    // answer; the server's answer comes meanwhile and waits too. Confirmed, the run ends
    // before the next item, and the item asked about is reported as taken.
    void answerWaitsWhileTheOperatorIsAsked() {
        Scenario s;
        s.answer = [](const FixtureHttpServer::Request& request) {
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body), 100};
        };
        s.run.nameFiles("importfile");
        ImportRun run(s.run.services.services, s.run.input({{"部门档案", ""}, {"客户档案", ""}}));
        int ended = 0;
        int endedWhileAsked = -1;
        QObject::connect(&run, &ExchangeRun::itemFinished, [&] { ++ended; });
        QObject::connect(&run, &ExchangeRun::waiting, [&] {
            if (endedWhileAsked >= 0 || !s.run.prompter().records().isEmpty())
                return;
            s.run.prompter().queueAnswer(Prompter::Answer::Ok);
            QVERIFY(run.askToCancel());
        });
        s.run.prompter().setOnPrompt([&](const RecordingPrompter::Record&) {
            const int before = ended;
            QTest::qWait(600); // the question is open
            endedWhileAsked = ended - before;
        });
        const RunSummary summary = s.host.run(run);

        QCOMPARE(endedWhileAsked, 0);
        QCOMPARE(s.run.prompter().texts(), QStringList{SharedText::cancelRunQuestion()});
        QCOMPARE(s.roottags(), QStringList{"department"});
        QCOMPARE(summary.end, RunSummary::End::Cancelled);
        QCOMPARE(s.run.prompter().displayed(),
                 QStringList{"\r\n" + kDepartments + "\r\n导入已取消：成功 1 项，失败 0 项，" +
                             "结果未知 0 项，未执行 1 项，共 2 项\r\n"});
    }

    // A request of a run may take far longer than the login may: it completes normally, and
    // the waiting time is shown meanwhile.
    void runRequestOutlivesTheLoginLimit() {
        Scenario s;
        s.run.services.http.setTimeoutMilliseconds(HttpClient::Limit::Login, 200);
        s.answer = [](const FixtureHttpServer::Request& request) {
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body), 1200};
        };
        s.run.nameFiles("importfile");
        const RunSummary summary = s.exchange(true, s.run.input({{"部门档案", ""}}));
        QVERIFY_NO_PROMPT(s.run.prompter());
        QCOMPARE(summary.exchanged, 1);
        QCOMPARE(s.run.prompter().displayed(), QStringList{"\r\n" + kDepartments});
        QCOMPARE(s.host.waitedSeconds, 1);
    }

    void exportSendsTheConditionsOfTheRunDay() {
        Scenario s;
        s.run.services.clock.set(QDateTime(QDate(2026, 10, 20), QTime(8, 0)));
        // 销售订单 has only a template; one of its conditions asks for the day of the run, in
        // lower case. 凭证 has an item of the sender's own, with "TODAY".
        const QString out = s.run.folder.filePath("out/saleorder.xml");
        s.run.setConditionAttribute("saleorder", "销售订单", "", "exportfile", out);
        s.run.setConditionAttribute("voucher", "凭证", "001", "exportfile",
                                    s.run.folder.filePath("out/voucher.xml"));
        const QString conditionsPath = s.run.folder.filePath("xml/operation/Condition.xml");
        XmlDocument conditions = XmlDocument::fromFile(conditionsPath);
        conditions.selectFirst("//saleorder/field").setAttribute("value", "today");
        QVERIFY(conditions.save(conditionsPath));
        const QByteArray conditionFile = s.run.folder.read("xml/operation/Condition.xml");
        s.run.writeFile("out/saleorder.xml", "old content");
        ExchangeRunInput input = s.run.input({{"销售订单", ""}, {"凭证", ""}}, " 001 ");
        input.conversion = true;
        const RunSummary summary = s.exchange(false, input);

        QVERIFY_NO_PROMPT(s.run.prompter());
        QCOMPARE(s.host.progress.mid(0, 2),
                 QStringList({"正在导出销售订单..... (1/2)", "导出销售订单结束！ (1/2)"}));
        const XmlDocument query = s.posted(0);
        // docid: a number of the run's own.
        QVERIFY(
            QRegularExpression("^sender=001 receiver=m6 roottag=saleorder docid=\\d+ proc=Query "
                               "codeexchanged=n exportneedexch=y display=销售订单 family=销售管理$")
                .match(attributeText(query.root().attributes(), " "))
                .hasMatch());
        const QList<XmlElement> children = query.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.first().attribute("code"), QString());
        QCOMPARE(children.first().childElements().first().attribute("value"),
                 QStringLiteral("2026-10-20"));
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        const XmlDocument voucherQuery = s.posted(1);
        const XmlElement voucher = voucherQuery.root().firstChildElement("voucher");
        QCOMPARE(voucher.attribute("code"), QStringLiteral("001"));
        QCOMPARE(voucher.childElements().last().attribute("value"), QStringLiteral("2026-10-20"));
        QCOMPARE(s.run.folder.read("xml/operation/Condition.xml"), conditionFile);

        // The saved file replaced the old one whole: declared gb2312, with this console's
        // attributes, the records and a character outside GB2312.
        QCOMPARE(summary.files.first(), out);
        const QByteArray saved = s.run.folder.read("out/saleorder.xml");
        QVERIFY2(saved.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"), saved.left(60));
        const XmlDocument data = XmlDocument::fromBytes(saved);
        QCOMPARE(attributeText(data.root().attributes(), " "),
                 "sender=001 receiver=m6 roottag=saleorder docid=77 "
                 "proc=Query codeexchanged=N exportneedexch=N");
        QCOMPARE(data.select("/ztinterface/saleorder").size(), 2);
        QCOMPARE(data.selectFirst("//name").text(), QStringLiteral("杭州堃源"));
    }

    void mailQueue_data() {
        QTest::addColumn<bool>("mail");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("cancelAfterFirst");
        QTest::addColumn<int>("queued");
        QTest::addColumn<int>("transfers");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("sent after the last item")
            << true << true << false << 2 << 1 << QStringList();
        QTest::newRow("cancelled: queued, not sent")
            << true << true << true << 1 << 0 << QStringList();
        QTest::newRow("no mail component") << true << false << false << 2 << 0
                                           << QStringList{"未连接邮件组件，导出的文件尚未发送！"};
        QTest::newRow("without the mail flag") << false << true << false << 0 << 0 << QStringList();
    }
    void mailQueue() {
        QFETCH(bool, mail);
        QFETCH(bool, connected);
        QFETCH(bool, cancelAfterFirst);
        QFETCH(int, queued);
        Scenario s;
        s.run.nameFiles("exportfile");
        AttachmentQueue queue;
        CountingTransport transport;
        ExchangeRunInput input = s.run.input({{"客户档案", ""}, {"部门档案", ""}});
        input.mail = mail;
        input.attachments = &queue;
        input.mailTransport = connected ? &transport : nullptr;
        if (cancelAfterFirst)
            s.host.cancelAt(QStringLiteral("导出客户档案结束！"));
        s.exchange(false, input);

        const QList<QPair<QString, QString>> expected = {
            {"1", s.run.folder.filePath("out/customer.xml")},
            {"2", s.run.folder.filePath("out/department.xml")}};
        QCOMPARE(queue.entries(), expected.mid(0, queued));
        QTEST(transport.transfers, "transfers");
        QTEST(s.run.prompter().texts(), "messages");
    }

    void refusedRuns_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message"); // %1: the application folder
        const auto row = [](const char* tag, bool import, const char* change,
                            const QString& message) {
            QTest::newRow(tag) << import << QString(change) << message;
        };
        row("import, nothing selected", true, "none", "请选择需要导入的项目！");
        row("import, no condition file", true, "conditions",
            "%1/xml/operation/Condition.xml文件不存在！");
        row("import, server address unusable", true, "address",
            ServerInterface::badAddressMessage());
        row("export, nothing selected", false, "none", "请选择需要导出的项目！");
        row("export, sender code of blanks", false, "code", "导出时需选择注册编码！");
        row("export, no condition file", false, "conditions",
            "%1/xml/operation/condition.xml文件不存在！");
    }
    void refusedRuns() {
        QFETCH(bool, import);
        QFETCH(QString, change);
        QFETCH(QString, message);
        Scenario s(change == "address" ? QStringLiteral("srv") : QString());
        if (change == "conditions")
            QVERIFY(QFile::remove(s.run.folder.filePath("xml/operation/Condition.xml")));
        const RunSummary summary =
            s.exchange(import, s.run.input(change == "none" ? Items{} : Items{{"部门档案", "添加"}},
                                           change == "code" ? "  " : "001"));
        QCOMPARE(s.run.prompter().texts(), s.inFolder({message}));
        QCOMPARE(s.run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(summary.end, RunSummary::End::Refused);
        QCOMPARE(s.host.started, 0);
        QVERIFY(s.http.requests().isEmpty());
        // A refused run is kept with its reason; nothing selected is no run.
        const QList<RunHistory::Run> runs = RunHistory(s.run.app()).runs();
        QCOMPARE(runs.size(), change == "none" ? 0 : 1);
        if (!runs.isEmpty())
            QCOMPARE(runs[0].outcome + " " + runs[0].note, "refused " + s.inFolder({message})[0]);
    }
};

KVX_TEST_MAIN_CORE(ExchangeRunsTest)
#include "tst_exchange_runs.moc"
