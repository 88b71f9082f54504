// The demo data against the sample application folder, through the console's own document
// code: the demo logins, every catalogue item and stored condition item finds data, every
// sample data file imports, and codes map back to the sender's.
#include "exchange/import_completion.h"
#include "exchange/interface_documents.h"
#include "exchange/result_report.h"
#include "login/login_answer.h"
#include "login/login_request.h"
#include "server_fixture.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;
using namespace kvx::test;
using namespace Qt::StringLiterals;

namespace {

OperatorCredentials demoCredentials() {
    return {u"demo"_s, encryptedPassword(u"demo"_s), u"2026/12/6"_s};
}

XmlDocument sampleFile(const QString& relative) {
    return XmlDocument::fromFile(TestFolder::sampleDir() + u'/' + relative);
}

// The envelope the export run sends for a condition item, TODAY filled in.
QByteArray envelopeFor(const XmlElement& item, const QString& sender,
                       const QString& exportNeedExch = u"n"_s) {
    XmlDocument envelope =
        XmlDocument::fromString(BuildQueryEnvelope(item.name(), sender, exportNeedExch));
    for (XmlElement field : envelope.root().appendCopy(item).childElements()) {
        if (field.attribute(u"value"_s).toUpper() == "TODAY"_L1)
            field.setAttribute(u"value"_s, QDate::currentDate().toString(Qt::ISODate));
    }
    AppendOpinfo(envelope, demoCredentials());
    return envelope.toBytes();
}

// Completes a sample data file as the import run does and returns the run report's block.
QString importSample(ServerFixture& server, const QString& file, const QString& operation = {},
                     const OperationsEntry& entry = {}) {
    XmlDocument document = sampleFile("data/" + file);
    const ImportCompletion completion{u"n"_s, file, u"组"_s, u"001"_s, demoCredentials()};
    if (!CompleteImportDocument(document, WorkOutImportDirectives(operation, entry), completion))
        return u"not completed"_s;
    const HttpResult answer = server.exchange(document.toBytes());
    return answer.ok() ? AppendResultReport(XmlDocument::fromBytes(answer.body), file, {})
                       : QString::fromUtf8(answer.body);
}

} // namespace

class ServerDemoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The rights as the console reads them (configure, execute), or the reason of a refusal.
    void consoleLogsIn_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const char* user, const char* password,
                      const char* expected) {
            QTest::newRow(tag) << QString(user) << QString(password) << QString(expected);
        };
        row("demo", "demo", "demo", "11");
        row("viewer", "viewer", "viewer", "01");
        row("wrong password", "demo", "viewer", "用户“demo”的密码不正确！");
    }
    void consoleLogsIn() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const LoginRequest request{user, encryptedPassword(password), u"2026/12/6"_s, u"001"_s};
        const LoginAnswer answer = LoginAnswer::read(server.login(request.toBytes()).body);
        QTEST(answer.kind == LoginAnswer::Kind::Refused
                  ? answer.description
                  : QString::number(answer.canConfigure) + QString::number(answer.canExecute),
              "expected");
    }

    void everyCatalogueItemExportsData() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument catalogue = sampleFile("xml/operation/Dir.xml");
        const QList<XmlElement> items = catalogue.select(u"/*//*[not(*)]"_s);
        QCOMPARE(items.size(), 22);
        for (const XmlElement& item : items) {
            const QString roottag = item.attribute(u"name"_s);
            const XmlDocument data = server.exchangeDocument(queryEnvelope(roottag));
            QVERIFY2(!data.root().firstChildElement(roottag).isNull(), qPrintable(roottag));
        }
    }

    void everyStoredConditionFindsData_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("conditions") << "xml/operation/Condition.xml";
        QTest::newRow("plan conditions") << "xml/operation/ScheCondition.xml";
    }
    void everyStoredConditionFindsData() {
        QFETCH(QString, file);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = sampleFile(file);
        const QList<XmlElement> items = conditions.root().childElements();
        QVERIFY(!items.isEmpty());
        for (const XmlElement& item : items) {
            const QString code = item.attribute(u"code"_s).trimmed();
            const XmlDocument data =
                server.exchangeDocument(envelopeFor(item, code.isEmpty() ? "001" : code));
            QVERIFY2(!data.root().firstChildElement(item.name()).isNull(),
                     qPrintable(item.name() + u' ' + code));
        }
    }

    // The keys of the sample data files are new to the demo data; a second import of the
    // customers with "skip existing" skips them.
    void sampleFilesImportThroughTheConsolesDocuments() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QStringList files =
            QDir(TestFolder::sampleDir() + u"/data"_s).entryList({u"*.xml"_s}, QDir::Files);
        QVERIFY(files.size() >= 10);
        QString reports;
        for (const QString& file : files) {
            const QString report = importSample(server, file);
            QVERIFY2(report.contains(u"导入、导出成功！"_s) &&
                         !report.contains(u"导入导出失败！"_s),
                     qPrintable(report));
            reports += report;
        }
        static const QRegularExpression voucherLine(
            u"导入、导出成功！【关键字=PZ202611001】【凭证类别=记】【凭证号=1】【M6凭证号=\\d+】"
            "【凭证期间=202611】已添加\r\n"_s);
        QVERIFY2(voucherLine.match(reports).hasMatch(), qPrintable(reports));

        const OperationsEntry entry{true,
                                    u"Add"_s,
                                    {{u"已存在时更新"_s, u"updateexisting"_s, {}},
                                     {u"已存在时跳过"_s, u"skipexisting"_s, {}}}};
        const QString skipped = importSample(server, "customer.xml", "添加|已存在时跳过", entry);
        QVERIFY2(skipped.contains(u"导入、导出成功！【关键字=C002】已存在，已跳过\r\n"_s),
                 qPrintable(skipped));
    }

    // The sample's customer condition of sender 002 (from C003 on, not disabled) answered
    // with the sender's own codes.
    void storedConditionGetsTheSendersCodes() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = sampleFile("xml/operation/Condition.xml");
        const XmlElement item =
            conditions.selectFirst(u"//customer[@code=$c]"_s, {{u"c"_s, u"002"_s}});
        const XmlDocument data = server.exchangeDocument(envelopeFor(item, "002", "y"));
        QCOMPARE(recordKeys(data, u"customer"_s), QStringList({u"SH-KH-0006"_s, u"SH-KH-0007"_s}));
    }
};

KVX_TEST_MAIN_CORE(ServerDemoTest)
#include "tst_server_demo.moc"
