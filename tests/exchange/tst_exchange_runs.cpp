#include "exchange/attachment_queue.h"
#include "exchange/export_run.h"
#include "exchange/import_run.h"
#include "exchange/mail_transport.h"
#include "exchange/server_interface.h"
#include "fixture_http_server.h"
#include "run_fixture.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;
using namespace kvx::test;

using Attributes = QList<QPair<QString, QString>>;
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

// An exchange server on 127.0.0.1 that keeps what was posted and answers imports with one
// result item per record, queries with a data document, or as `answer` says.
struct Server {
    FixtureHttpServer http{[this](const FixtureHttpServer::Request& request) {
        if (answer)
            return answer(request);
        const bool query =
            request.body.contains("proc=\"Query\"") || request.body.contains("proc='Query'");
        return FixtureHttpServer::Response{200, query ? dataDocumentFor(request.body)
                                                      : resultDocumentFor(request.body)};
    }};
    FixtureHttpServer::Handler answer;

    XmlDocument posted(int index) const {
        return XmlDocument::fromBytes(http.requests().at(index).body);
    }
    QStringList roottags() const {
        QStringList result;
        for (int i = 0; i < http.requests().size(); ++i)
            result.append(posted(i).root().attribute("roottag"));
        return result;
    }
};

// The report block of a result in which every record was taken.
QString block(const QString& label, const QStringList& keys) {
    QString text = label + QStringLiteral("\r\n");
    for (const QString& key : keys)
        text += QStringLiteral("导入、导出成功！【关键字=") + key + QStringLiteral("】\r\n");
    return text + QStringLiteral("\r\n");
}

const QStringList kDepartments = {"D01", "D02", "D03", "D04", "D05"};
const QStringList kCustomers = {"C001", "C002", "C003", "C004", "C005"};

// 客户档案 (the sender's own condition item) and 部门档案 (a template) name their files.
void useDefaultPaths(RunFixture& run, const QString& attribute) {
    const bool import = attribute == "importfile";
    run.setConditionAttribute("customer", "客户档案", "001", attribute,
                              import ? run.sampleData("customer")
                                     : run.folder.filePath("out/customer.xml"));
    run.setConditionAttribute("department", "部门档案", "", attribute,
                              import ? run.sampleData("department")
                                     : run.folder.filePath("out/department.xml"));
}

class CountingTransport : public MailTransport {
public:
    void transfer() override { ++transfers; }
    int transfers = 0;
};

} // namespace

class ExchangeRunsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importPostsTheCompletedDocuments() {
        Server server;
        server.answer = [](const FixtureHttpServer::Request& request) {
            const bool customers = request.body.contains("roottag=\"customer\"");
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body, customers)};
        };
        RunFixture run(server.http.baseUrl());
        useDefaultPaths(run, "importfile");
        RecordingRunHost host;
        const RunSummary summary =
            RunImport(run.services.services,
                      run.input({{"客户档案", "添加|已存在时跳过"}, {"部门档案", ""}}), host);

        QVERIFY2(run.prompter().records().isEmpty(), qPrintable(run.prompter().texts().join('\n')));
        QCOMPARE(summary.end, RunSummary::End::Completed);
        QCOMPARE(server.http.requests().first().path, QStringLiteral("/M6Kvx/import.asp"));
        QString customers = block("客户档案", kCustomers);
        customers.replace(QStringLiteral("导入、导出成功！【关键字=C001】"),
                          QStringLiteral("导入导出失败！【关键字=C001】编码重复"));
        QCOMPARE(host.reports,
                 QStringList{"\r\n" + customers + "\r\n" + block("部门档案", kDepartments)});
        QCOMPARE(host.progress,
                 QStringList({"正在导入客户档案..... (1/2)", "导入客户档案结束！ (1/2)",
                              "正在导入部门档案..... (2/2)", "导入部门档案结束！ (2/2)"}));

        // The file's attributes, then the options, codeexchanged, display and family and the
        // operation's proc; the records as they were; opinfo last.
        const XmlDocument customer = server.posted(0);
        QCOMPARE(customer.encoding().toLower(), QStringLiteral("gb2312"));
        QCOMPARE(customer.root().attributes(), (Attributes{{"sender", "001"},
                                                           {"receiver", "m6"},
                                                           {"roottag", "customer"},
                                                           {"docid", "903182647"},
                                                           {"proc", "Add"},
                                                           {"updateexisting", "n"},
                                                           {"skipexisting", "y"},
                                                           {"codeexchanged", "n"},
                                                           {"display", "客户档案"},
                                                           {"family", "基础档案"}}));
        QCOMPARE(customer.select("/ztinterface/customer").size(), 5);
        QCOMPARE(
            customer.root().childElements().last().attributes(),
            (Attributes{{"operator", "demo"}, {"pwd", demoPassword()}, {"date", "2026-03-15"}}));
        QCOMPARE(server.posted(1).root().attribute("proc"), QStringLiteral("add"));
        // The last answer stays in the application folder.
        const XmlDocument kept = XmlDocument::fromFile(run.folder.filePath("Kvxtemp.xml"));
        QCOMPARE(kept.selectFirst("//item").attribute("key"), QStringLiteral("D01"));
    }

    void importFileChecks_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("message");  // %1: the file's path
        QTest::newRow("missing") << QByteArray() << "%1文件不存在！";
        QTest::newRow("not XML") << QByteArray("<ztinterface roottag='customer'><customer>")
                                 << "%1不是Xml格式的文件!";
        QTest::newRow("no roottag") << QByteArray("<ztinterface><customer/></ztinterface>")
                                    << "%1该文件中没有必须的roottag属性！";
        QTest::newRow("another item's file")
            << QByteArray("<ztinterface roottag='department'><department/></ztinterface>")
            << "选择的文件不是与客户档案(customer)相关的文件!";
        QTest::newRow("roottag in other letter case")
            << QByteArray("<ztinterface roottag='Customer'><Customer/></ztinterface>")
            << "选择的文件不是与客户档案(customer)相关的文件!";
        QTest::newRow("no records")
            << QByteArray(
                   "<ztinterface roottag='customer'><opinfo><customer/></opinfo></ztinterface>")
            << "选择的文件格式不对或文件中不包含数据!";
    }
    void importFileChecks() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Server server;
        RunFixture run(server.http.baseUrl());
        useDefaultPaths(run, "importfile");
        const QString path = bytes.isEmpty() ? run.folder.filePath("in/nothing.xml")
                                             : run.writeFile("in/bad.xml", bytes);
        run.setConditionAttribute("customer", "客户档案", "001", "importfile", path);
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}),
                  host);
        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(path))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(run.prompter().last().title, QStringLiteral("提示"));
        // Nothing of the first item was sent; the run went on with the second.
        QCOMPARE(server.roottags(), QStringList{"department"});
        QCOMPARE(host.reports, QStringList{"\r\n" + block("部门档案", kDepartments)});
    }

    void filesChosenWhenNoDefaultPath() {
        Server server;
        RunFixture run(server.http.baseUrl());
        // 职员档案 has no condition item; 部门档案's template names no file. The first dialog of
        // each run is answered, the second cancelled: that item is skipped without a word.
        run.prompter().queuePath(run.sampleData("person"));
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{"职员档案", "添加"}, {"部门档案", "添加"}}),
                  host);
        run.prompter().queuePath(run.folder.filePath("out/person.xml"));
        const RunSummary exported =
            RunExport(run.services.services, run.input({{"职员档案", ""}, {"部门档案", ""}}), host);

        QList<RecordingPrompter::Kind> kinds;
        for (const RecordingPrompter::Record& record : run.prompter().records()) {
            kinds.append(record.kind);
            QCOMPARE(record.text, QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*"));
        }
        using Kind = RecordingPrompter::Kind;
        QCOMPARE(kinds,
                 (QList<Kind>{Kind::OpenFile, Kind::OpenFile, Kind::SaveFile, Kind::SaveFile}));
        QCOMPARE(server.roottags(), QStringList({"person", "person"}));
        // No condition item: the query holds opinfo alone.
        QCOMPARE(server.posted(1).root().childElements().size(), 1);
        QCOMPARE(exported.files, QStringList{run.folder.filePath("out/person.xml")});
    }

    void procAndOptionAttributes_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("fileProc"); // the proc the file carries
        QTest::addColumn<QString>("proc");     // the proc posted
        QTest::addColumn<Attributes>("options");
        const Attributes none;
        QTest::newRow("QUERY with 默认, no entry") << "部门档案"
                                                   << "默认"
                                                   << "QUERY"
                                                   << "Add" << none;
        QTest::newRow("普通 keeps the file's proc") << "部门档案"
                                                    << "普通"
                                                    << "Edit"
                                                    << "Edit" << none;
        QTest::newRow("empty operation string") << "部门档案"
                                                << ""
                                                << "Edit"
                                                << "add" << none;
        QTest::newRow("blank operation, options ignored") << "客户档案"
                                                          << " |已存在时跳过"
                                                          << "Edit"
                                                          << "add" << none;
        QTest::newRow("删除 without entry") << "部门档案"
                                            << "删除"
                                            << "Add"
                                            << "Delete" << none;
        QTest::newRow("options without mode")
            << "客户档案"
            << "修改|已存在时更新"
            << "Add"
            << "Edit" << Attributes{{"updateexisting", "y"}, {"skipexisting", "n"}};
        QTest::newRow("options with and without mode")
            << "凭证"
            << "添加|自动编号|按名称匹配科目"
            << "Add"
            << "Add"
            << Attributes{{"autovoucherno", "y"}, {"unbalanced", "n"}, {"accountmatch", "name"}};
        QTest::newRow("no option checked")
            << "凭证"
            << "删除"
            << "Add"
            << "Delete" << Attributes{{"autovoucherno", "n"}, {"unbalanced", "n"}};
    }
    void procAndOptionAttributes() {
        QFETCH(QString, label);
        QFETCH(QString, operation);
        QFETCH(QString, fileProc);
        QFETCH(QString, proc);
        QFETCH(Attributes, options);
        Server server;
        RunFixture run(server.http.baseUrl());
        const CatalogueItem item = run.catalogue.item(label);
        XmlDocument file = XmlDocument::fromFile(run.sampleData(item.interfaceName));
        file.root().setAttribute("proc", fileProc);
        const QString path = run.folder.filePath("in/item.xml");
        QVERIFY(file.save(path));
        run.setConditionAttribute(item.interfaceName, label,
                                  item.interfaceName == "department" ? "" : "001", "importfile",
                                  path);
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{label, operation}}), host);

        QVERIFY2(run.prompter().records().isEmpty(), qPrintable(run.prompter().texts().join('\n')));
        const XmlDocument posted = server.posted(0);
        const XmlElement root = posted.root();
        QCOMPARE(root.attribute("proc"), proc);
        const QStringList standard = {"sender", "receiver",      "roottag", "docid",
                                      "proc",   "codeexchanged", "display", "family"};
        Attributes added;
        for (const auto& pair : root.attributes()) {
            if (!standard.contains(pair.first))
                added.append(pair);
        }
        QCOMPARE(added, options);
    }

    // The first of two items fails; the run goes on with the second.
    void failedItemsLeaveTheRunGoing_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<int>("status"); // 0: no answer in time
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        const int warning = int(Prompter::Icon::Warning);
        const int none = int(Prompter::Icon::None);
        QTest::newRow("import, status 500 with text")
            << true << 500 << QByteArray("数据库忙") << "连接失败！服务器信息：数据库忙" << warning;
        QTest::newRow("import, status 500 without text")
            << true << 500 << QByteArray() << kNoAnswer << warning;
        QTest::newRow("import, no answer in time")
            << true << 0 << QByteArray() << kNoAnswer << warning;
        QTest::newRow("import, not XML") << true << 200 << QByteArray("Server Error <b>")
                                         << "导入失败！\nServer Error <b>" << none;
        QTest::newRow("import, long answer cut for showing")
            << true << 200 << QByteArray(100000, 'x') << "导入失败！\n" + QString(4000, 'x') + "……"
            << none;
        QTest::newRow("export, status 500") << false << 500 << QByteArray("故障测试")
                                            << "连接失败！服务器信息：故障测试" << warning;
        QTest::newRow("export, not XML")
            << false << 200 << QByteArray("<html") << "导出失败！\n<html" << none;
    }
    void failedItemsLeaveTheRunGoing() {
        QFETCH(bool, import);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(int, icon);
        Server server;
        server.answer = [&](const FixtureHttpServer::Request& request) {
            if (server.http.requests().size() == 1) {
                FixtureHttpServer::Response response{status, body};
                response.never = status == 0;
                return response;
            }
            return FixtureHttpServer::Response{200, import ? resultDocumentFor(request.body)
                                                           : dataDocumentFor(request.body)};
        };
        RunFixture run(server.http.baseUrl());
        run.services.http.setTimeoutMilliseconds(500);
        useDefaultPaths(run, import ? "importfile" : "exportfile");
        run.writeFile("out/customer.xml", "kept");
        RecordingRunHost host;
        const Items items = {{"客户档案", "添加"}, {"部门档案", "添加"}};
        const RunSummary summary = import
                                       ? RunImport(run.services.services, run.input(items), host)
                                       : RunExport(run.services.services, run.input(items), host);
        QCOMPARE(run.prompter().texts(), QStringList{message});
        QCOMPARE(int(run.prompter().last().icon), icon);
        QCOMPARE(server.roottags(), QStringList({"customer", "department"}));
        QCOMPARE(summary.exchanged, 1);
        if (import) {
            QCOMPARE(host.reports, QStringList{"\r\n" + block("部门档案", kDepartments)});
        } else {
            QCOMPARE(run.folder.read("out/customer.xml"), QByteArray("kept"));
            QCOMPARE(summary.files, QStringList{run.folder.filePath("out/department.xml")});
        }
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
        Server server;
        RunFixture run(server.http.baseUrl());
        useDefaultPaths(run, "importfile");
        const QString operationsPath = run.folder.filePath("xml/operation/ImOperation.xml");
        XmlDocument operations = XmlDocument::fromFile(operationsPath);
        operations.selectFirst("//客户档案/操作").appendChild("核对");
        QVERIFY(operations.save(operationsPath));
        QVERIFY(run.operations.load(run.app()));
        OperationsFile notLoaded;
        ExchangeRunInput input =
            run.input({{"部门档案", ""}, {"客户档案", "核对"}, {"职员档案", "添加"}});
        if (!operationsLoaded)
            input.operations = &notLoaded; // a blank operation needs no operations file
        RecordingRunHost host;
        int messagesBeforeReport = -1;
        host.onReport = [&] { messagesBeforeReport = int(run.prompter().records().size()); };
        const RunSummary summary = RunImport(run.services.services, input, host);

        QCOMPARE(summary.end, RunSummary::End::Aborted);
        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(run.folder.path()))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Critical);
        QCOMPARE(messagesBeforeReport, 1);
        QCOMPARE(server.roottags(), QStringList{"department"});
        QCOMPARE(host.reports, QStringList{"\r\n" + block("部门档案", kDepartments) +
                                           "\r\n导入因错误中止：已完成 1 项，共 3 项\r\n"});
    }

    void unsavableFilesAreReported() {
        Server server;
        RunFixture run(server.http.baseUrl());
        useDefaultPaths(run, "importfile");
        useDefaultPaths(run, "exportfile");
        QVERIFY(QDir(run.folder.path()).mkdir("Kvxtemp.xml"));
        // The export file's folder is a file.
        const QString blocked = run.writeFile("out/blocked", "a file") + "/customer.xml";
        run.setConditionAttribute("customer", "客户档案", "001", "exportfile", blocked);
        RecordingRunHost host;
        const Items items = {{"客户档案", "添加"}, {"部门档案", "添加"}};
        const RunSummary imported = RunImport(run.services.services, run.input(items), host);
        const RunSummary exported = RunExport(run.services.services, run.input(items), host);

        const QStringList messages = run.prompter().messageTexts();
        QCOMPARE(messages.size(), 3);
        const QString kvxtemp = AppFolder::toNative(run.folder.filePath("Kvxtemp.xml"));
        QVERIFY2(messages[0].startsWith(kvxtemp + "文件保存失败！"), qPrintable(messages[0]));
        QVERIFY2(messages[2].startsWith(AppFolder::toNative(blocked) + "文件保存失败！"),
                 qPrintable(messages[2]));
        // The records were taken all the same: both blocks are reported.
        QCOMPARE(imported.exchanged, 2);
        QCOMPARE(host.reports.size(), 1);
        QCOMPARE(exported.files, QStringList{run.folder.filePath("out/department.xml")});
    }

    void exportSendsTheConditionsOfTheRunDay() {
        Server server;
        RunFixture run(server.http.baseUrl());
        // 销售订单 has only a template; one of its conditions asks for the day of the run, in
        // lower case. 凭证 has an item of the sender's own, with "TODAY".
        const QString out = run.folder.filePath("out/saleorder.xml");
        run.setConditionAttribute("saleorder", "销售订单", "", "exportfile", out);
        run.setConditionAttribute("voucher", "凭证", "001", "exportfile",
                                  run.folder.filePath("out/voucher.xml"));
        const QString conditionsPath = run.folder.filePath("xml/operation/Condition.xml");
        XmlDocument conditions = XmlDocument::fromFile(conditionsPath);
        conditions.selectFirst("//saleorder/field").setAttribute("value", "today");
        QVERIFY(conditions.save(conditionsPath));
        const QByteArray conditionFile = run.folder.read("xml/operation/Condition.xml");
        run.writeFile("out/saleorder.xml", "old content");
        ExchangeRunInput input = run.input({{"销售订单", ""}, {"凭证", ""}}, " 001 ");
        input.conversion = true;
        RecordingRunHost host;
        const RunSummary summary = RunExport(run.services.services, input, host);

        QVERIFY2(run.prompter().records().isEmpty(), qPrintable(run.prompter().texts().join('\n')));
        QCOMPARE(host.progress.mid(0, 2),
                 QStringList({"正在导出销售订单..... (1/2)", "导出销售订单结束！ (1/2)"}));
        const XmlDocument query = server.posted(0);
        Attributes root = query.root().attributes();
        QCOMPARE(root.size(), 9);
        QVERIFY(!root.takeAt(3).second.isEmpty()); // docid
        QCOMPARE(root, (Attributes{{"sender", "001"},
                                   {"receiver", "m6"},
                                   {"roottag", "saleorder"},
                                   {"proc", "Query"},
                                   {"codeexchanged", "n"},
                                   {"exportneedexch", "y"},
                                   {"display", "销售订单"},
                                   {"family", "销售管理"}}));
        const QList<XmlElement> children = query.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.first().attribute("code"), QString());
        QCOMPARE(children.first().childElements().first().attribute("value"),
                 QStringLiteral("2026-03-15"));
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        const XmlDocument voucherQuery = server.posted(1);
        const XmlElement voucher = voucherQuery.root().firstChildElement("voucher");
        QCOMPARE(voucher.attribute("code"), QStringLiteral("001"));
        QCOMPARE(voucher.childElements().last().attribute("value"), QStringLiteral("2026-03-15"));
        // The condition file keeps the words.
        QCOMPARE(run.folder.read("xml/operation/Condition.xml"), conditionFile);

        // The saved file replaced the old one whole: declared gb2312, with this console's
        // attributes, the records and a character outside GB2312.
        QCOMPARE(summary.files.first(), out);
        const QByteArray saved = run.folder.read("out/saleorder.xml");
        QVERIFY2(saved.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"), saved.left(60));
        const XmlDocument data = XmlDocument::fromBytes(saved);
        QCOMPARE(data.root().attributes(), (Attributes{{"sender", "001"},
                                                       {"receiver", "m6"},
                                                       {"roottag", "saleorder"},
                                                       {"docid", "77"},
                                                       {"proc", "Query"},
                                                       {"codeexchanged", "N"},
                                                       {"exportneedexch", "N"}}));
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
        QFETCH(int, transfers);
        QFETCH(QStringList, messages);
        Server server;
        RunFixture run(server.http.baseUrl());
        useDefaultPaths(run, "exportfile");
        AttachmentQueue queue;
        CountingTransport transport;
        ExchangeRunInput input = run.input({{"客户档案", ""}, {"部门档案", ""}});
        input.mail = mail;
        input.attachments = &queue;
        input.mailTransport = connected ? &transport : nullptr;
        RecordingRunHost host;
        if (cancelAfterFirst)
            host.cancelAt(QStringLiteral("导出客户档案结束！"));
        RunExport(run.services.services, input, host);

        const QList<QPair<QString, QString>> expected = {
            {"1", run.folder.filePath("out/customer.xml")},
            {"2", run.folder.filePath("out/department.xml")}};
        QCOMPARE(queue.entries(), expected.mid(0, queued));
        QCOMPARE(transport.transfers, transfers);
        QCOMPARE(run.prompter().texts(), messages);
    }

    void refusedRuns_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message"); // %1: the application folder
        QTest::newRow("import, nothing selected") << true << "none"
                                                  << "请选择需要导入的项目！";
        QTest::newRow("import, no condition file") << true << "conditions"
                                                   << "%1/xml/operation/Condition.xml文件不存在！";
        QTest::newRow("import, no login file") << true << "login"
                                               << "%1/LoginWan.ini文件不存在！请重新登录。";
        QTest::newRow("import, server address unusable")
            << true << "address" << ServerInterface::badAddressMessage();
        QTest::newRow("export, nothing selected") << false << "none"
                                                  << "请选择需要导出的项目！";
        QTest::newRow("export, sender code of blanks") << false << "code"
                                                       << "导出时需选择注册编码！";
        QTest::newRow("export, no condition file") << false << "conditions"
                                                   << "%1/xml/operation/condition.xml文件不存在！";
    }
    void refusedRuns() {
        QFETCH(bool, import);
        QFETCH(QString, change);
        QFETCH(QString, message);
        Server server;
        RunFixture run(change == "address" ? QStringLiteral("srv") : server.http.baseUrl());
        if (change == "conditions")
            QVERIFY(QFile::remove(run.folder.filePath("xml/operation/Condition.xml")));
        if (change == "login")
            QVERIFY(QFile::remove(run.folder.filePath("LoginWan.ini")));
        const ExchangeRunInput input =
            run.input(change == "none" ? Items{} : Items{{"部门档案", "添加"}},
                      change == "code" ? "  " : "001");
        RecordingRunHost host;
        const RunSummary summary = import ? RunImport(run.services.services, input, host)
                                          : RunExport(run.services.services, input, host);
        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(run.folder.path()))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(summary.end, RunSummary::End::Refused);
        QCOMPARE(host.started, 0);
        QVERIFY(server.http.requests().isEmpty());
    }
};

KVX_TEST_MAIN_CORE(ExchangeRunsTest)
#include "tst_exchange_runs.moc"
