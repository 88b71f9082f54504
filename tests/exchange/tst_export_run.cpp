#include "exchange/attachment_queue.h"
#include "exchange/export_run.h"
#include "exchange/mail_transport.h"
#include "fixture_http_server.h"
#include "run_fixture.h"
#include "test_main.h"

#include <QTcpServer>

using namespace kvx;
using namespace kvx::test;

using Attributes = QList<QPair<QString, QString>>;

namespace {

const QString kNoAnswer = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");

// The data document a server answers to a query: declared in another encoding, with the
// root attributes the server chose and two records.
QByteArray dataDocumentFor(const QByteArray& query) {
    const QString roottag =
        XmlDocument::fromBytes(query).root().attribute(QStringLiteral("roottag"));
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<ztinterface sender=\"m6\" receiver=\"001\" roottag=\"%1\" docid=\"77\" "
                          "proc=\"Query\" codeexchanged=\"n\" exportneedexch=\"y\">"
                          "<%1><code>K1</code><name>杭州堃源</name></%1><%1><code>K2</code></%1>"
                          "</ztinterface>")
        .arg(roottag)
        .toUtf8();
}

struct ExportServer {
    FixtureHttpServer http{[this](const FixtureHttpServer::Request& request) {
        return answer ? answer(request)
                      : FixtureHttpServer::Response{200, dataDocumentFor(request.body)};
    }};
    FixtureHttpServer::Handler answer;

    XmlDocument query(int index) const {
        return XmlDocument::fromBytes(http.requests().at(index).body);
    }
};

// A mail component that only counts the transfers asked of it.
class CountingTransport : public MailTransport {
public:
    void transfer() override { ++transfers; }
    int transfers = 0;
};

} // namespace

class ExportRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void templateConditionsWithTodayInLowerCase() {
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        // 销售订单 has only a template; one of its conditions asks for the day of the run.
        const QString out = run.folder.filePath(QStringLiteral("out/saleorder.xml"));
        run.setConditionAttribute("saleorder", "销售订单", "", "exportfile", out);
        const QString conditionsPath = run.folder.filePath("xml/operation/Condition.xml");
        XmlDocument conditions = XmlDocument::fromFile(conditionsPath);
        conditions.selectFirst("//saleorder/field").setAttribute("value", "today");
        QVERIFY(conditions.save(conditionsPath));
        const QByteArray conditionFile = run.folder.read("xml/operation/Condition.xml");
        run.writeFile("out/saleorder.xml", "old content");
        RecordingRunHost host;
        const RunSummary summary =
            RunExport(run.services.services, run.input({{"销售订单", ""}}, " 001 "), host);

        QVERIFY2(run.prompter().records().isEmpty(), qPrintable(run.prompter().texts().join('\n')));
        QCOMPARE(summary.end, RunSummary::End::Completed);
        QCOMPARE(summary.files, QStringList{out});
        QCOMPARE(host.progress,
                 QStringList({"正在导出销售订单..... (1/1)", "导出销售订单结束！ (1/1)"}));

        const XmlDocument query = server.query(0);
        const Attributes root = query.root().attributes();
        QCOMPARE(root.size(), 9);
        QCOMPARE(root.at(3).first, QStringLiteral("docid"));
        QVERIFY(!root.at(3).second.isEmpty());
        QCOMPARE(root.mid(0, 3),
                 (Attributes{{"sender", "001"}, {"receiver", "m6"}, {"roottag", "saleorder"}}));
        QCOMPARE(root.mid(4), (Attributes{{"proc", "Query"},
                                          {"codeexchanged", "n"},
                                          {"exportneedexch", "n"},
                                          {"display", "销售订单"},
                                          {"family", "销售管理"}}));
        const QList<XmlElement> children = query.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.first().name(), QStringLiteral("saleorder"));
        QCOMPARE(children.first().attribute("code"), QString());
        QCOMPARE(children.first().childElements().first().attribute("value"),
                 QStringLiteral("2026-03-15"));
        QCOMPARE(children.first().childElements().last().attribute("value"), QStringLiteral("D01"));
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        QCOMPARE(
            children.last().attributes(),
            (Attributes{{"operator", "demo"}, {"pwd", demoPassword()}, {"date", "2026-03-15"}}));
        // The condition file keeps the word.
        QCOMPARE(run.folder.read("xml/operation/Condition.xml"), conditionFile);

        // The saved file replaced the old one whole: declared gb2312, attributes for this
        // console, records and characters outside GB2312 kept.
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

    void ownConditionsAndConversion() {
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        run.setConditionAttribute("voucher", "凭证", "001", "exportfile",
                                  run.folder.filePath("out/voucher.xml"));
        RecordingRunHost host;
        ExchangeRunInput input = run.input({{"凭证", ""}});
        input.conversion = true;
        RunExport(run.services.services, input, host);
        const XmlDocument query = server.query(0);
        QCOMPARE(query.root().attribute("exportneedexch"), QStringLiteral("y"));
        const XmlElement item = query.root().firstChildElement("voucher");
        QCOMPARE(item.attribute("code"), QStringLiteral("001"));
        // "TODAY" in upper case too.
        QCOMPARE(item.childElements().last().attribute("value"), QStringLiteral("2026-03-15"));
        QCOMPARE(item.childElements().size(), 3);
    }

    void fileChosenWhenNoDefaultPath() {
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        const QString chosen = run.folder.filePath("out/person.xml");
        run.prompter().queuePath(chosen);
        RecordingRunHost host;
        // 职员档案 has no condition item: no conditions are sent; 部门档案's template names
        // no file either, and its dialog is cancelled: that item is skipped without a word.
        const RunSummary summary =
            RunExport(run.services.services, run.input({{"职员档案", ""}, {"部门档案", ""}}), host);
        QCOMPARE(run.prompter().records().size(), 2);
        for (const RecordingPrompter::Record& record : run.prompter().records()) {
            QCOMPARE(record.kind, RecordingPrompter::Kind::SaveFile);
            QCOMPARE(record.text, QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*"));
        }
        QCOMPARE(server.http.requests().size(), 1);
        QCOMPARE(server.query(0).root().childElements().size(), 1); // opinfo alone
        QCOMPARE(summary.files, QStringList{chosen});
    }

    void failedItemsLeaveTheRunGoing_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("status 500")
            << 500 << QByteArray("故障测试") << "连接失败！服务器信息：故障测试";
        QTest::newRow("not XML") << 200 << QByteArray("<html") << "导出失败！\n<html";
    }
    void failedItemsLeaveTheRunGoing() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        ExportServer server;
        server.answer = [&](const FixtureHttpServer::Request& request) {
            if (server.http.requests().size() == 2)
                return FixtureHttpServer::Response{status, body};
            return FixtureHttpServer::Response{200, dataDocumentFor(request.body)};
        };
        RunFixture run(server.http.baseUrl());
        const QStringList labels = {"客户档案", "存货档案", "销售订单"};
        const QStringList names = {"customer", "inventory", "saleorder"};
        const QStringList codes = {"001", "", ""};
        for (int i = 0; i < 3; ++i)
            run.setConditionAttribute(names[i], labels[i], codes[i], "exportfile",
                                      run.folder.filePath("out/" + names[i] + ".xml"));
        run.writeFile("out/inventory.xml", "kept");
        RecordingRunHost host;
        const RunSummary summary =
            RunExport(run.services.services,
                      run.input({{labels[0], ""}, {labels[1], ""}, {labels[2], ""}}), host);
        QCOMPARE(run.prompter().texts(), QStringList{message});
        QCOMPARE(server.http.requests().size(), 3);
        QCOMPARE(summary.files, QStringList({run.folder.filePath("out/customer.xml"),
                                             run.folder.filePath("out/saleorder.xml")}));
        QCOMPARE(run.folder.read("out/inventory.xml"), QByteArray("kept"));
    }

    void unreachableServerFailsEachItem() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        closed.close();
        RunFixture run(url);
        run.setConditionAttribute("customer", "客户档案", "001", "exportfile",
                                  run.folder.filePath("out/customer.xml"));
        run.setConditionAttribute("department", "部门档案", "", "exportfile",
                                  run.folder.filePath("out/department.xml"));
        RecordingRunHost host;
        const RunSummary summary =
            RunExport(run.services.services, run.input({{"客户档案", ""}, {"部门档案", ""}}), host);
        QCOMPARE(run.prompter().texts(), QStringList({kNoAnswer, kNoAnswer}));
        QCOMPARE(summary.processed, 2);
        QVERIFY(summary.files.isEmpty());
    }

    void unwritableFileIsReportedAndTheRunGoesOn() {
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        // The folder of the first file is a file: nothing can be written there.
        const QString blocked = run.writeFile("out/blocked", "a file") + "/customer.xml";
        run.setConditionAttribute("customer", "客户档案", "001", "exportfile", blocked);
        run.setConditionAttribute("department", "部门档案", "", "exportfile",
                                  run.folder.filePath("out/department.xml"));
        RecordingRunHost host;
        const RunSummary summary =
            RunExport(run.services.services, run.input({{"客户档案", ""}, {"部门档案", ""}}), host);
        QCOMPARE(run.prompter().messageTexts().size(), 1);
        QVERIFY2(run.prompter().last().text.startsWith(AppFolder::toNative(blocked) +
                                                       QStringLiteral("文件保存失败！")),
                 qPrintable(run.prompter().last().text));
        QCOMPARE(summary.files, QStringList{run.folder.filePath("out/department.xml")});
        QCOMPARE(host.progress.last(), QStringLiteral("导出部门档案结束！ (2/2)"));
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
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        const QString customers = run.folder.filePath("out/customer.xml");
        const QString departments = run.folder.filePath("out/department.xml");
        run.setConditionAttribute("customer", "客户档案", "001", "exportfile", customers);
        run.setConditionAttribute("department", "部门档案", "", "exportfile", departments);
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

        QCOMPARE(queue.size(), queued);
        const QList<QPair<QString, QString>> expected = {{"1", customers}, {"2", departments}};
        QCOMPARE(queue.entries(), expected.mid(0, queued));
        QCOMPARE(transport.transfers, transfers);
        QCOMPARE(run.prompter().texts(), messages);
    }

    void refusedRuns_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("items");
        QTest::addColumn<bool>("conditions");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing selected") << "001" << false << true << "请选择需要导出的项目！";
        QTest::newRow("sender code of blanks") << "  " << true << true << "导出时需选择注册编码！";
        QTest::newRow("no condition file")
            << "001" << true << false << "%1/xml/operation/condition.xml文件不存在！";
    }
    void refusedRuns() {
        QFETCH(QString, code);
        QFETCH(bool, items);
        QFETCH(bool, conditions);
        QFETCH(QString, message);
        ExportServer server;
        RunFixture run(server.http.baseUrl());
        if (!conditions)
            QVERIFY(QFile::remove(run.folder.filePath("xml/operation/Condition.xml")));
        RecordingRunHost host;
        const RunSummary summary =
            RunExport(run.services.services,
                      run.input(items ? QList<SelectedExchangeItem>{{"客户档案", ""}}
                                      : QList<SelectedExchangeItem>{},
                                code),
                      host);
        QCOMPARE(run.prompter().texts(),
                 QStringList{message.replace("%1", AppFolder::toNative(run.folder.path()))});
        QCOMPARE(run.prompter().last().icon, Prompter::Icon::Warning);
        QCOMPARE(summary.end, RunSummary::End::Refused);
        QCOMPARE(host.started, 0);
        QVERIFY(server.http.requests().isEmpty());
    }
};

KVX_TEST_MAIN_CORE(ExportRunTest)
#include "tst_export_run.moc"
