#include "exchange/import_run.h"
#include "exchange/server_interface.h"
#include "fixture_http_server.h"
#include "run_fixture.h"
#include "test_main.h"

#include <QDir>
#include <QTcpServer>

using namespace kvx;
using namespace kvx::test;

using Attributes = QList<QPair<QString, QString>>;

namespace {

const QString kNoAnswer = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");

// An exchange server on 127.0.0.1 that answers every import with one result item per
// record and keeps what was posted.
struct ImportServer {
    FixtureHttpServer http{[this](const FixtureHttpServer::Request& request) {
        return answer ? answer(request)
                      : FixtureHttpServer::Response{200, resultDocumentFor(request.body)};
    }};
    FixtureHttpServer::Handler answer;

    QList<QByteArray> bodies() const {
        QList<QByteArray> result;
        for (const auto& request : http.requests())
            result.append(request.body);
        return result;
    }
    QStringList roottags() const {
        QStringList result;
        for (const QByteArray& body : bodies())
            result.append(XmlDocument::fromBytes(body).root().attribute(QStringLiteral("roottag")));
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
const QStringList kPersons = {"P001", "P002", "P003", "P004", "P005", "P006"};

QString attribute(const Attributes& attributes, const QString& name) {
    for (const auto& [key, value] : attributes) {
        if (key == name)
            return value;
    }
    return QStringLiteral("<none>");
}

// Two items whose condition items name their import files.
void useConditionPaths(RunFixture& run) {
    run.setConditionAttribute("customer", "客户档案", "001", "importfile",
                              run.sampleData("customer"));
    run.setConditionAttribute("department", "部门档案", "", "importfile",
                              run.sampleData("department"));
}

} // namespace

class ImportRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoItemsWithImportFiles() {
        ImportServer server;
        server.answer = [](const FixtureHttpServer::Request& request) {
            const bool customers = request.body.contains("roottag=\"customer\"");
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body, customers)};
        };
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        RecordingRunHost host;
        const RunSummary summary =
            RunImport(run.services.services,
                      run.input({{"客户档案", "添加|已存在时跳过"}, {"部门档案", ""}}), host);

        QVERIFY2(run.prompter().records().isEmpty(), qPrintable(run.prompter().texts().join('\n')));
        QCOMPARE(summary.end, RunSummary::End::Completed);
        QCOMPARE(summary.exchanged, 2);
        QCOMPARE(server.http.requests().size(), 2);
        QCOMPARE(server.http.requests().first().path, QStringLiteral("/M6Kvx/import.asp"));

        QString customerBlock = block("客户档案", kCustomers);
        customerBlock.replace(QStringLiteral("导入、导出成功！【关键字=C001】"),
                              QStringLiteral("导入导出失败！【关键字=C001】编码重复"));
        const QString report = QStringLiteral("\r\n") + customerBlock + QStringLiteral("\r\n") +
                               block("部门档案", kDepartments);
        QCOMPARE(host.reports, QStringList{report});
        QCOMPARE(summary.report, report);
        QCOMPARE(host.progress,
                 QStringList({"正在导入客户档案..... (1/2)", "导入客户档案结束！ (1/2)",
                              "正在导入部门档案..... (2/2)", "导入部门档案结束！ (2/2)"}));
        QCOMPARE(host.started, 1);
        QCOMPARE(host.finished, 1);

        // The document as the server receives it: the file's attributes, then the options,
        // codeexchanged, display and family, the operation's proc; opinfo last.
        const XmlDocument customer = XmlDocument::fromBytes(server.bodies().at(0));
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
        const XmlElement opinfo = customer.root().childElements().last();
        QCOMPARE(opinfo.name(), QStringLiteral("opinfo"));
        QCOMPARE(
            opinfo.attributes(),
            (Attributes{{"operator", "demo"}, {"pwd", demoPassword()}, {"date", "2026-03-15"}}));
        QCOMPARE(customer.select("/ztinterface/customer").size(), 5);
        QCOMPARE(attribute(rootAttributes(server.bodies().at(1)), "proc"), QStringLiteral("add"));

        // The last answer stays in the application folder.
        const XmlDocument kept = XmlDocument::fromFile(run.folder.filePath("Kvxtemp.xml"));
        QCOMPARE(kept.select("//item").size(), 5);
        QCOMPARE(kept.select("//item").first().attribute("key"), QStringLiteral("D01"));
    }

    void fileChecks_data() {
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
            << QByteArray("<ztinterface roottag='customer'><opinfo/><Customer/></ztinterface>")
            << "选择的文件格式不对或文件中不包含数据!";
    }
    void fileChecks() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        const QString path = bytes.isEmpty() ? run.folder.filePath("in/nothing.xml")
                                             : run.writeFile("in/bad.xml", bytes);
        run.setConditionAttribute("customer", "客户档案", "001", "importfile", path);
        RecordingRunHost host;
        const RunSummary summary = RunImport(
            run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}), host);

        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(path))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(run.prompter().last().title, QStringLiteral("提示"));
        // Only the file of the second item went to the server; the run went on.
        QCOMPARE(server.roottags(), QStringList{"department"});
        QCOMPARE(host.reports,
                 QStringList{QStringLiteral("\r\n") + block("部门档案", kDepartments)});
        QCOMPARE(summary.processed, 2);
        QCOMPARE(summary.exchanged, 1);
    }

    void fileChosenWhenNoDefaultPath() {
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        // 职员档案 has no condition item; the first dialog is answered, the second cancelled.
        run.prompter().queuePath(run.sampleData("person"));
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{"职员档案", "添加"}, {"部门档案", "添加"}}),
                  host);
        QCOMPARE(run.prompter().records().size(), 2);
        for (const RecordingPrompter::Record& record : run.prompter().records()) {
            QCOMPARE(record.kind, RecordingPrompter::Kind::OpenFile);
            QCOMPARE(record.text, QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*"));
        }
        QVERIFY(run.prompter().records().first().title.contains(QStringLiteral("职员档案")));
        QCOMPARE(server.roottags(), QStringList{"person"});
        QCOMPARE(host.reports, QStringList{QStringLiteral("\r\n") + block("职员档案", kPersons)});
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
        QTest::newRow("query kept as Add with 普通") << "部门档案"
                                                     << "普通"
                                                     << "query"
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
        QTest::newRow("添加 without entry") << "部门档案"
                                            << "添加"
                                            << "Edit"
                                            << "Add" << none;
        QTest::newRow("删除 without entry") << "部门档案"
                                            << "删除"
                                            << "Add"
                                            << "Delete" << none;
        QTest::newRow("修改 without entry") << "部门档案"
                                            << "修改"
                                            << "Add"
                                            << "Edit" << none;
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
        ImportServer server;
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
        QCOMPARE(server.http.requests().size(), 1);
        const Attributes posted = rootAttributes(server.bodies().first());
        QCOMPARE(attribute(posted, "proc"), proc);
        Attributes added;
        const QStringList standard = {"sender", "receiver",      "roottag", "docid",
                                      "proc",   "codeexchanged", "display", "family"};
        for (const auto& pair : posted) {
            if (!standard.contains(pair.first))
                added.append(pair);
        }
        QCOMPARE(added, options);
        QCOMPARE(attribute(posted, "afterimport"), QStringLiteral("<none>"));
    }

    void cancelDuringTheSecondOfThree() {
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        run.setConditionAttribute("person", "职员档案", "", "importfile", run.sampleData("person"));
        RecordingRunHost host;
        // The operator confirms cancelling while the second item's request is under way.
        host.cancelAt(QStringLiteral("正在导入部门档案....."));
        const RunSummary summary = RunImport(
            run.services.services,
            run.input({{"客户档案", "添加"}, {"部门档案", "添加"}, {"职员档案", "添加"}}), host);

        QCOMPARE(summary.end, RunSummary::End::Cancelled);
        QCOMPARE(server.roottags(), QStringList({"customer", "department"}));
        QCOMPARE(host.finished, 1);
        // Two records were taken: the report says so, and that the run stopped there.
        QCOMPARE(host.reports,
                 QStringList{QStringLiteral("\r\n") + block("客户档案", kCustomers) +
                             QStringLiteral("\r\n") + block("部门档案", kDepartments) +
                             QStringLiteral("\r\n导入已取消：已完成 2 项，共 3 项\r\n")});
    }

    void unreachableServerFailsOnlyTheItem() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        closed.close();
        RunFixture run(url);
        useConditionPaths(run);
        RecordingRunHost host;
        const RunSummary summary = RunImport(
            run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}), host);
        QCOMPARE(run.prompter().texts(), QStringList({kNoAnswer, kNoAnswer}));
        QCOMPARE(summary.end, RunSummary::End::Completed);
        QCOMPARE(summary.processed, 2);
        QVERIFY(host.reports.isEmpty());
    }

    void timeoutFailsOnlyTheItem() {
        ImportServer server;
        server.answer = [](const FixtureHttpServer::Request& request) {
            FixtureHttpServer::Response response{200, resultDocumentFor(request.body)};
            response.never = request.body.contains("roottag=\"customer\"");
            return response;
        };
        RunFixture run(server.http.baseUrl());
        run.services.http.setTimeoutMilliseconds(300);
        useConditionPaths(run);
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}),
                  host);
        QCOMPARE(run.prompter().texts(), QStringList{kNoAnswer});
        QCOMPARE(server.roottags(), QStringList({"customer", "department"}));
        QCOMPARE(host.reports,
                 QStringList{QStringLiteral("\r\n") + block("部门档案", kDepartments)});
    }

    void serverAnswers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("status 500 with text")
            << 500 << QByteArray("数据库忙") << "连接失败！服务器信息：数据库忙"
            << int(Prompter::Icon::Warning);
        QTest::newRow("status 500 without text")
            << 500 << QByteArray() << kNoAnswer << int(Prompter::Icon::Warning);
        QTest::newRow("not XML") << 200 << QByteArray("Server Error <b>")
                                 << "导入失败！\nServer Error <b>" << int(Prompter::Icon::None);
        QTest::newRow("long answer cut for showing")
            << 200 << QByteArray(100000, 'x') << "导入失败！\n" + QString(4000, 'x') + "……"
            << int(Prompter::Icon::None);
    }
    void serverAnswers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(int, icon);
        ImportServer server;
        server.answer = [&](const FixtureHttpServer::Request& request) {
            if (request.body.contains("roottag=\"customer\""))
                return FixtureHttpServer::Response{status, body};
            return FixtureHttpServer::Response{200, resultDocumentFor(request.body)};
        };
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        RecordingRunHost host;
        RunImport(run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}),
                  host);
        QCOMPARE(run.prompter().texts(), QStringList{message});
        QCOMPARE(int(run.prompter().last().icon), icon);
        QCOMPARE(host.reports,
                 QStringList{QStringLiteral("\r\n") + block("部门档案", kDepartments)});
    }

    void errorEndsTheRunWithTheReportSoFar() {
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        // An operation that the operations file offers without a proc.
        const QString operationsPath = run.folder.filePath("xml/operation/ImOperation.xml");
        XmlDocument operations = XmlDocument::fromFile(operationsPath);
        operations.selectFirst("//存货档案/操作").appendChild("核对");
        QVERIFY(operations.save(operationsPath));
        QVERIFY(run.operations.load(run.app()));
        run.setConditionAttribute("inventory", "存货档案", "", "importfile",
                                  run.sampleData("inventory"));
        RecordingRunHost host;
        int messagesBeforeReport = -1;
        host.onReport = [&] { messagesBeforeReport = int(run.prompter().records().size()); };
        const RunSummary summary = RunImport(
            run.services.services,
            run.input({{"部门档案", "添加"}, {"存货档案", "核对"}, {"客户档案", "添加"}}), host);

        QCOMPARE(summary.end, RunSummary::End::Aborted);
        QCOMPARE(run.prompter().texts(),
                 QStringList{QStringLiteral(
                     "xml\\operation\\ImOperation.xml中的操作“核对”没有proc属性！")});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Critical);
        QCOMPARE(messagesBeforeReport, 1);
        QCOMPARE(server.roottags(), QStringList{"department"});
        QCOMPARE(host.reports,
                 QStringList{QStringLiteral("\r\n") + block("部门档案", kDepartments) +
                             QStringLiteral("\r\n导入因错误中止：已完成 1 项，共 3 项\r\n")});
    }

    void missingOperationsFile() {
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        OperationsFile notLoaded;
        ExchangeRunInput input = run.input({{"部门档案", ""}, {"客户档案", "添加"}});
        input.operations = &notLoaded;
        RecordingRunHost host;
        const RunSummary summary = RunImport(run.services.services, input, host);
        // A blank operation needs no operations file; a named one does.
        QCOMPARE(server.roottags(), QStringList{"department"});
        QCOMPARE(run.prompter().texts(),
                 QStringList{OperationsFile::missingFileMessage(run.app())});
        QCOMPARE(summary.end, RunSummary::End::Aborted);
        QCOMPARE(host.reports.size(), 1);
        QVERIFY(host.reports.first().endsWith(
            QStringLiteral("导入因错误中止：已完成 1 项，共 2 项\r\n")));
    }

    void unsavableResultIsReported() {
        ImportServer server;
        RunFixture run(server.http.baseUrl());
        useConditionPaths(run);
        QVERIFY(QDir(run.folder.path()).mkdir("Kvxtemp.xml"));
        RecordingRunHost host;
        const RunSummary summary = RunImport(
            run.services.services, run.input({{"客户档案", "添加"}, {"部门档案", "添加"}}), host);
        const QString shown = AppFolder::toNative(run.folder.filePath("Kvxtemp.xml"));
        QCOMPARE(run.prompter().messageTexts().size(), 2);
        for (const QString& text : run.prompter().messageTexts())
            QVERIFY2(text.startsWith(shown + QStringLiteral("文件保存失败！")), qPrintable(text));
        // The records were taken all the same: both blocks are reported.
        QCOMPARE(summary.exchanged, 2);
        QCOMPARE(host.reports.size(), 1);
        QVERIFY(host.reports.first().contains(QStringLiteral("\r\n部门档案\r\n")));
    }

    void refusedRuns_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing selected") << "none"
                                          << "请选择需要导入的项目！";
        QTest::newRow("no condition file") << "conditions"
                                           << "%1/xml/operation/Condition.xml文件不存在！";
        QTest::newRow("no login file") << "login"
                                       << "%1/LoginWan.ini文件不存在！请重新登录。";
        QTest::newRow("server address unusable")
            << "address" << ServerInterface::badAddressMessage();
    }
    void refusedRuns() {
        QFETCH(QString, change);
        QFETCH(QString, message);
        ImportServer server;
        RunFixture run(change == "address" ? QStringLiteral("srv") : server.http.baseUrl());
        useConditionPaths(run);
        if (change == "conditions")
            QVERIFY(QFile::remove(run.folder.filePath("xml/operation/Condition.xml")));
        if (change == "login")
            QVERIFY(QFile::remove(run.folder.filePath("LoginWan.ini")));
        QList<SelectedExchangeItem> items = {{"部门档案", "添加"}};
        if (change == "none")
            items.clear();
        RecordingRunHost host;
        const RunSummary summary = RunImport(run.services.services, run.input(items), host);
        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(run.folder.path()))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(summary.end, RunSummary::End::Refused);
        QCOMPARE(host.started, 0);
        QVERIFY(server.http.requests().isEmpty());
    }
};

KVX_TEST_MAIN_CORE(ImportRunTest)
#include "tst_import_run.moc"
