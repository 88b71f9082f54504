// The console's own document code against the server: its login request and reading of the
// answer, its completed import documents and run report, its query envelope and the saved
// data document. Both sides are the real ones, over HTTP.
#include "exchange/import_completion.h"
#include "exchange/interface_documents.h"
#include "exchange/result_report.h"
#include "login/login_answer.h"
#include "login/login_request.h"
#include "server_fixture.h"
#include "test_folder.h"
#include "test_main.h"

#include <QTemporaryDir>

using namespace kvx;
using namespace kvx::test;

namespace {

OperatorCredentials demoCredentials() {
    return {QStringLiteral("demo"), encryptedPassword(QStringLiteral("demo")),
            QStringLiteral("2026/12/6")};
}

// The customer item's entry in the sample operations file.
OperationsEntry customerEntry() {
    return {true,
            QStringLiteral("Add"),
            {{QStringLiteral("已存在时更新"), QStringLiteral("updateexisting"), QString()},
             {QStringLiteral("已存在时跳过"), QStringLiteral("skipexisting"), QString()}}};
}

// Completes a sample data file as the import run does and returns the run report's block.
QString importSample(ServerFixture& server, const QString& file, const QString& label,
                     const QString& operation, const OperationsEntry& entry) {
    XmlDocument document =
        XmlDocument::fromFile(TestFolder::sampleDir() + QStringLiteral("/data/") + file);
    const ImportCompletion completion{QStringLiteral("n"), label, QStringLiteral("组"),
                                      QStringLiteral("001"), demoCredentials()};
    if (!CompleteImportDocument(document, WorkOutImportDirectives(operation, entry), completion))
        return QStringLiteral("not completed");
    const HttpResult answer = server.exchange(document.toBytes());
    if (!answer.ok())
        return QString::fromUtf8(answer.body);
    return AppendResultReport(XmlDocument::fromBytes(answer.body), label, QString());
}

} // namespace

class ServerConsoleTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loginAnswerReadsAsTheConsoleReadsIt_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("canConfigure");
        QTest::addColumn<bool>("canExecute");
        QTest::addColumn<QString>("description");
        QTest::newRow("demo") << "demo"
                              << "demo" << int(LoginAnswer::Kind::Succeeded) << true << true << "";
        QTest::newRow("viewer") << "viewer"
                                << "viewer" << int(LoginAnswer::Kind::Succeeded) << false << true
                                << "";
        QTest::newRow("wrong password") << "demo"
                                        << "viewer" << int(LoginAnswer::Kind::Refused) << false
                                        << false << "用户“demo”的密码不正确！";
    }
    void loginAnswerReadsAsTheConsoleReadsIt() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const LoginRequest request{user, encryptedPassword(password), QStringLiteral("2026/12/6"),
                                   QStringLiteral("001")};
        const HttpResult result = server.login(request.toBytes());
        QCOMPARE(result.status, 200);
        const LoginAnswer answer = LoginAnswer::read(result.body);
        QTEST(int(answer.kind), "kind");
        QTEST(answer.canConfigure, "canConfigure");
        QTEST(answer.canExecute, "canExecute");
        QTEST(answer.description, "description");
    }

    void importReportShowsEachRecord() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QString label = QStringLiteral("客户档案");
        const QString first = importSample(server, QStringLiteral("customer.xml"), label,
                                           QStringLiteral("添加"), customerEntry());
        QVERIFY2(first.startsWith(label +
                                  QStringLiteral("\r\n导入、导出成功！【关键字=C001】已添加\r\n")),
                 qPrintable(first));
        QCOMPARE(first.count(QStringLiteral("导入、导出成功！")), 5);

        const QString skipped = importSample(server, QStringLiteral("customer.xml"), label,
                                             QStringLiteral("添加|已存在时跳过"), customerEntry());
        QVERIFY2(
            skipped.contains(QStringLiteral("导入、导出成功！【关键字=C002】已存在，已跳过\r\n")),
            qPrintable(skipped));

        const QString refused = importSample(server, QStringLiteral("customer.xml"), label,
                                             QStringLiteral("添加"), customerEntry());
        QVERIFY2(refused.contains(
                     QStringLiteral("导入导出失败！【关键字=C003】关键字“C003”已存在！\r\n")),
                 qPrintable(refused));
    }

    void voucherReportCarriesTheErpNumbers() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QString report = importSample(server, QStringLiteral("voucher.xml"),
                                            QStringLiteral("凭证"), QString(), OperationsEntry{});
        static const QRegularExpression line(
            QStringLiteral("导入、导出成功！【关键字=PZ202611001】【凭证类别=记】【凭证号="
                           "1】【M6凭证号=\\d+】【凭证期间=202611】已添加\r\n"));
        QVERIFY2(line.match(report).hasMatch(), qPrintable(report));
    }

    void exportedDocumentSavesAsTheConsoleSavesIt() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = XmlDocument::fromFile(
            TestFolder::sampleDir() + QStringLiteral("/xml/operation/Condition.xml"));
        const XmlElement item = conditions.selectFirst(
            QStringLiteral("//customer[@code=$c]"), {{QStringLiteral("c"), QStringLiteral("002")}});
        QVERIFY(!item.isNull());

        XmlDocument envelope = XmlDocument::fromString(BuildQueryEnvelope(
            QStringLiteral("customer"), QStringLiteral("002"), QStringLiteral("y")));
        envelope.root().setAttribute(QStringLiteral("display"), QStringLiteral("客户档案"));
        envelope.root().setAttribute(QStringLiteral("family"), QStringLiteral("基础档案"));
        envelope.root().appendCopy(item);
        AppendOpinfo(envelope, demoCredentials());
        const HttpResult answer = server.exchange(envelope.toBytes());
        QCOMPARE(answer.status, 200);

        XmlDocument data = XmlDocument::fromBytes(answer.body);
        NormalizeDataDocument(data, QStringLiteral("customer"), QStringLiteral("002"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("customer.xml"));
        QVERIFY(data.save(path));
        const XmlDocument saved = XmlDocument::fromFile(path);
        QCOMPARE(saved.root().attribute(QStringLiteral("display")), QStringLiteral("客户档案"));
        // code >= C003 and not disabled; the sender's own codes for the mapped customers.
        QCOMPARE(recordKeys(saved, QStringLiteral("customer")),
                 QStringList({QStringLiteral("SH-KH-0006"), QStringLiteral("SH-KH-0007")}));
    }
};

KVX_TEST_MAIN_CORE(ServerConsoleTest)
#include "tst_server_console.moc"
