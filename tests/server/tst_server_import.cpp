// Import documents over real HTTP into a real store: procs, per-record results, bad
// records among good ones, options, vouchers, code mapping and refusals.
#include "server/code_map.h"
#include "server/record_table.h"
#include "server_fixture.h"
#include "test_main.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kCustomer = QStringLiteral("customer");

QString customer(const QString& code, const QString& name = QStringLiteral("客户"),
                 const QString& extra = {}) {
    return QStringLiteral("<customer><code>%1</code><name>%2</name>%3</customer>")
        .arg(code, name, extra);
}

QString voucher(const QString& code, const QString& debit, const QString& credit) {
    return QStringLiteral("<voucher><code>%1</code><header><voucher_type>记</voucher_type>"
                          "<fiscal_year>2026</fiscal_year><accounting_period>3</accounting_period>"
                          "<voucher_id>12</voucher_id><date>2026-03-05</date></header><body>"
                          "<entry><account_code>1001</account_code><debit>%2</debit><credit>0.00</"
                          "credit></entry>"
                          "<entry><account_code>1002</account_code><debit>0.00</debit><credit>%3</"
                          "credit></entry>"
                          "</body></voucher>")
        .arg(code, debit, credit);
}

// The stored record's name, or "" when there is none.
QString storedName(ServerFixture& server, const QString& roottag, const QString& key) {
    const auto record = server.service().records().find(roottag, key);
    if (!record)
        return {};
    return XmlDocument::fromString(record->xml).selectFirst(QStringLiteral("//name")).text();
}

} // namespace

class ServerImportTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addTwiceFailsTheSecondTime() {
        ServerFixture server;
        const XmlDocument first = server.exchangeDocument(importDocument(
            kCustomer, QStringLiteral("Add"),
            customer(QStringLiteral("C1"), QStringLiteral("甲")) + customer(QStringLiteral("C2"))));
        QCOMPARE(outcomes(first),
                 QStringList({QStringLiteral("0 C1 已添加"), QStringLiteral("0 C2 已添加")}));
        QCOMPARE(first.root().attribute(QStringLiteral("docid")), QStringLiteral("42"));

        const XmlDocument again = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1"), QStringLiteral("乙"))));
        QCOMPARE(outcomes(again), QStringList{QStringLiteral("1 C1 关键字“C1”已存在！")});
        QCOMPARE(storedName(server, kCustomer, QStringLiteral("C1")), QStringLiteral("甲"));
        QCOMPARE(server.service().records().count(kCustomer), 2);
    }

    void editAndDeleteNeedAnExistingRecord() {
        ServerFixture server;
        server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1"), QStringLiteral("甲"))));
        const XmlDocument edited = server.exchangeDocument(importDocument(
            kCustomer, QStringLiteral("Edit"),
            customer(QStringLiteral("C1"), QStringLiteral("丙")) + customer(QStringLiteral("C9"))));
        QCOMPARE(outcomes(edited), QStringList({QStringLiteral("0 C1 已修改"),
                                                QStringLiteral("1 C9 关键字“C9”不存在！")}));
        QCOMPARE(storedName(server, kCustomer, QStringLiteral("C1")), QStringLiteral("丙"));
        QVERIFY(!server.service().records().find(kCustomer, QStringLiteral("C9")));

        const XmlDocument deleted = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Delete"),
                           QStringLiteral("<customer><code> C1 </code></customer>")));
        QCOMPARE(outcomes(deleted), QStringList{QStringLiteral("0 C1 已删除")});
        QCOMPARE(server.service().records().count(kCustomer), 0);
        const XmlDocument again = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Delete"), customer(QStringLiteral("C1"))));
        QCOMPARE(outcomes(again), QStringList{QStringLiteral("1 C1 关键字“C1”不存在！")});
    }

    // C1 exists beforehand, C2 does not; the document holds both.
    void procsByTheirWords_data() {
        QTest::addColumn<QString>("proc");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("nameOfC1");
        QTest::addColumn<bool>("c2Stored");
        const QString exists = QStringLiteral("1 C1 关键字“C1”已存在！");
        const QString missing = QStringLiteral("1 C2 关键字“C2”不存在！");
        QTest::newRow("default add")
            << "add" << QStringList{exists, QStringLiteral("0 C2 已添加")} << "旧" << true;
        QTest::newRow("missing proc adds")
            << "" << QStringList{exists, QStringLiteral("0 C2 已添加")} << "旧" << true;
        QTest::newRow("EDIT in capitals")
            << "EDIT" << QStringList{QStringLiteral("0 C1 已修改"), missing} << "新" << false;
        QTest::newRow("add or edit")
            << "AddOrEdit"
            << QStringList{QStringLiteral("0 C1 已修改"), QStringLiteral("0 C2 已添加")} << "新"
            << true;
        QTest::newRow("insert or update")
            << "insertupdate"
            << QStringList{QStringLiteral("0 C1 已修改"), QStringLiteral("0 C2 已添加")} << "新"
            << true;
        QTest::newRow("modify") << "Modify" << QStringList{QStringLiteral("0 C1 已修改"), missing}
                                << "新" << false;
        QTest::newRow("remove") << "Remove" << QStringList{QStringLiteral("0 C1 已删除"), missing}
                                << "" << false;
        const QString ambiguous = QStringLiteral("不支持的导入操作“AddOrDelete”！");
        QTest::newRow("delete is never guessed")
            << "AddOrDelete"
            << QStringList{QStringLiteral("1 C1 ") + ambiguous, QStringLiteral("1 C2 ") + ambiguous}
            << "旧" << false;
        const QString unknown = QStringLiteral("不支持的导入操作“Audit”！");
        QTest::newRow("unknown") << "Audit"
                                 << QStringList{QStringLiteral("1 C1 ") + unknown,
                                                QStringLiteral("1 C2 ") + unknown}
                                 << "旧" << false;
    }
    void procsByTheirWords() {
        QFETCH(QString, proc);
        ServerFixture server;
        server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1"), QStringLiteral("旧"))));
        const XmlDocument result = server.exchangeDocument(
            importDocument(kCustomer, proc,
                           customer(QStringLiteral("C1"), QStringLiteral("新")) +
                               customer(QStringLiteral("C2"), QStringLiteral("新"))));
        QTEST(outcomes(result), "expected");
        QTEST(storedName(server, kCustomer, QStringLiteral("C1")), "nameOfC1");
        QTEST(bool(server.service().records().find(kCustomer, QStringLiteral("C2"))), "c2Stored");
    }

    void existingRecordOptions_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("nameOfC1");
        QTest::newRow("neither") << "updateexisting='n' skipexisting='n'"
                                 << "1 C1 关键字“C1”已存在！"
                                 << "旧";
        QTest::newRow("skip") << "updateexisting='n' skipexisting='y'"
                              << "0 C1 已存在，已跳过"
                              << "旧";
        QTest::newRow("update") << "updateexisting='Y' skipexisting='n'"
                                << "0 C1 已存在，已更新"
                                << "新";
    }
    void existingRecordOptions() {
        QFETCH(QString, options);
        ServerFixture server;
        server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1"), QStringLiteral("旧"))));
        const XmlDocument result = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1"), QStringLiteral("新")), options));
        QTEST(outcomes(result).value(0), "expected");
        QTEST(storedName(server, kCustomer, QStringLiteral("C1")), "nameOfC1");
    }

    void badRecordsFailAloneAndGoodOnesStay() {
        ServerFixture server;
        const QString records = customer(QStringLiteral("C1"), QStringLiteral("甲"),
                                         QStringLiteral("<devdate>2021-03-15</devdate>")) +
                                customer(QStringLiteral("C2"), QStringLiteral("乙"),
                                         QStringLiteral("<devdate>2021-02-30</devdate>")) +
                                QStringLiteral("<customer><name>无编码</name></customer>") +
                                customer(QStringLiteral("C3")) +
                                customer(QStringLiteral("C1"), QStringLiteral("重复")) +
                                QStringLiteral("<other><code>X1</code></other>");
        const XmlDocument result =
            server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), records));
        QCOMPARE(
            outcomes(result),
            QStringList({QStringLiteral("0 C1 已添加"),
                         QStringLiteral("1 C2 字段devdate的日期“2021-02-30”无效，应为yyyy-mm-dd！"),
                         QStringLiteral("1  缺少关键字（code）！"), QStringLiteral("0 C3 已添加"),
                         QStringLiteral("1 C1 关键字“C1”已存在！")}));
        QCOMPARE(server.service().records().count(kCustomer), 2);
        QCOMPARE(storedName(server, kCustomer, QStringLiteral("C1")), QStringLiteral("甲"));
        QVERIFY(
            server.log().last().contains(QStringLiteral("records=5 outcome=200 3 of 5 failed")));
    }

    void recordIsStoredWhole() {
        ServerFixture server;
        const QString record =
            QStringLiteral("<customer kind=\"a&amp;b\"><code>C1</code><name>A &lt; B 堃</name>"
                           "<memo>line1\nline2</memo><empty/></customer>");
        // Sent as written, without the indentation a saved document gets.
        const QString body =
            QStringLiteral("<?xml version='1.0' encoding='UTF-8'?><ztinterface sender='001' "
                           "roottag='customer' "
                           "proc='Add'>%1<opinfo operator='demo' pwd='%2'/></ztinterface>")
                .arg(record, encryptedPassword(QStringLiteral("demo")));
        server.exchangeDocument(body.toUtf8());
        QCOMPARE(server.service().records().find(kCustomer, QStringLiteral("C1"))->xml, record);
        // The answer is indented, which leaves every value as it was.
        const XmlDocument data = server.exchangeDocument(queryEnvelope(kCustomer));
        const XmlElement exported = data.selectFirst(QStringLiteral("/ztinterface/customer"));
        QCOMPARE(exported.attribute(QStringLiteral("kind")), QStringLiteral("a&b"));
        QCOMPARE(exported.firstChildElement(QStringLiteral("name")).text(),
                 QStringLiteral("A < B 堃"));
        QCOMPARE(exported.firstChildElement(QStringLiteral("memo")).text(),
                 QStringLiteral("line1\nline2"));
    }

    void vouchersReportTheirNumbers() {
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(importDocument(
            QStringLiteral("voucher"), QStringLiteral("Add"),
            voucher(QStringLiteral("PZ1"), QStringLiteral("100.00"), QStringLiteral("100.00")) +
                voucher(QStringLiteral("PZ2"), QStringLiteral("100.00"), QStringLiteral("90.00")) +
                voucher(QStringLiteral("PZ3"), QStringLiteral("abc"), QStringLiteral("0")) +
                QStringLiteral("<voucher><code>PZ4</code><header/></voucher>") +
                voucher(QStringLiteral("PZ5"), QStringLiteral("0.10"), QStringLiteral("0.1"))));
        const QList<ResultItem> items = resultItems(result);
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0].succeed, QStringLiteral("0"));
        QCOMPARE(items[0].element.attribute(QStringLiteral("voucher_type")), QStringLiteral("记"));
        QCOMPARE(items[0].element.attribute(QStringLiteral("voucher_id")), QStringLiteral("12"));
        QCOMPARE(items[0].element.attribute(QStringLiteral("m6accounting_period")),
                 QStringLiteral("202603"));
        QCOMPARE(items[1].dsc, QStringLiteral("凭证借贷不平衡（借方100.00，贷方90.00）！"));
        QVERIFY(!items[1].element.hasAttribute(QStringLiteral("m6voucher_id")));
        QCOMPARE(items[2].dsc, QStringLiteral("凭证分录的debit金额“abc”无效！"));
        QCOMPARE(items[3].dsc, QStringLiteral("凭证没有分录！"));
        QCOMPARE(items[4].succeed, QStringLiteral("0"));
        // The ERP's own numbers are distinct and never come back after a delete.
        const QString first = items[0].element.attribute(QStringLiteral("m6voucher_id"));
        const QString fifth = items[4].element.attribute(QStringLiteral("m6voucher_id"));
        QVERIFY(!first.isEmpty() && first != fifth);
        const XmlDocument deleted = server.exchangeDocument(
            importDocument(QStringLiteral("voucher"), QStringLiteral("Delete"),
                           QStringLiteral("<voucher><code>PZ5</code></voucher>")));
        QCOMPARE(resultItems(deleted).value(0).element.attribute(QStringLiteral("m6voucher_id")),
                 fifth);
        const XmlDocument readded = server.exchangeDocument(importDocument(
            QStringLiteral("voucher"), QStringLiteral("Add"),
            voucher(QStringLiteral("PZ5"), QStringLiteral("1"), QStringLiteral("1"))));
        QVERIFY(resultItems(readded)
                    .value(0)
                    .element.attribute(QStringLiteral("m6voucher_id"))
                    .toLongLong() > fifth.toLongLong());
    }

    void unbalancedVoucherWhenAllowed() {
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(importDocument(
            QStringLiteral("voucher"), QStringLiteral("Add"),
            voucher(QStringLiteral("PZ2"), QStringLiteral("100.00"), QStringLiteral("90.00")),
            QStringLiteral("unbalanced='y'")));
        QCOMPARE(resultItems(result).value(0).succeed, QStringLiteral("0"));
    }

    void codesAreMappedBothWays() {
        ServerFixture server;
        CodeMap& codes = server.service().codes();
        QVERIFY(codes.add(kCustomer, QStringLiteral("002"), QStringLiteral("SH-1"),
                          QStringLiteral("C001")));
        QVERIFY(codes.add(QStringLiteral("inventory"), QStringLiteral("002"),
                          QStringLiteral("SH-I1"), QStringLiteral("I001")));
        QVERIFY(!codes.add(kCustomer, QStringLiteral("002"), QStringLiteral("SH-2"),
                           QStringLiteral(" ")));
        const XmlDocument added = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("SH-1")) + customer(QStringLiteral("SH-9")),
                           QStringLiteral("codeexchanged='y'"), QStringLiteral("002")));
        QCOMPARE(outcomes(added), QStringList({QStringLiteral("0 SH-1 已添加（ERP编码C001）"),
                                               QStringLiteral("0 SH-9 已添加")}));
        QVERIFY(server.service().records().find(kCustomer, QStringLiteral("C001")));
        QVERIFY(server.service().records().find(kCustomer, QStringLiteral("SH-9")));

        // References inside documents are mapped by the item they name.
        const QString order =
            QStringLiteral("<saleorder><code>SO1</code><header><customer>SH-1</customer></header>"
                           "<body><entry><inventory>SH-I1</inventory></entry><entry><inventory>X</"
                           "inventory></entry></body></saleorder>");
        server.exchangeDocument(importDocument(QStringLiteral("saleorder"), QStringLiteral("Add"),
                                               order, QStringLiteral("codeexchanged='y'"),
                                               QStringLiteral("002")));
        const XmlDocument erp = server.exchangeDocument(
            queryEnvelope(QStringLiteral("saleorder"), {}, QStringLiteral("002")));
        QCOMPARE(erp.selectFirst(QStringLiteral("//header/customer")).text(),
                 QStringLiteral("C001"));
        QCOMPARE(erp.select(QStringLiteral("//entry/inventory")).value(0).text(),
                 QStringLiteral("I001"));
        QCOMPARE(erp.select(QStringLiteral("//entry/inventory")).value(1).text(),
                 QStringLiteral("X"));

        // Back to the sender's codes on export, and only for that sender.
        const XmlDocument external = server.exchangeDocument(queryEnvelope(
            QStringLiteral("saleorder"), {}, QStringLiteral("002"), QStringLiteral("y")));
        QCOMPARE(external.selectFirst(QStringLiteral("//header/customer")).text(),
                 QStringLiteral("SH-1"));
        QCOMPARE(external.select(QStringLiteral("//entry/inventory")).value(0).text(),
                 QStringLiteral("SH-I1"));
        const XmlDocument other = server.exchangeDocument(queryEnvelope(
            QStringLiteral("saleorder"), {}, QStringLiteral("001"), QStringLiteral("y")));
        QCOMPARE(other.selectFirst(QStringLiteral("//header/customer")).text(),
                 QStringLiteral("C001"));

        // Without codeexchanged the document's codes are stored as they are.
        server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"), customer(QStringLiteral("SH-1")),
                           QStringLiteral("codeexchanged='n'"), QStringLiteral("002")));
        QVERIFY(server.service().records().find(kCustomer, QStringLiteral("SH-1")));
    }

    void keyPathIsPerRoottag() {
        ServerFixture server;
        QVERIFY(server.service().records().setKeyPath(QStringLiteral("payable"),
                                                      QStringLiteral("header/billno")));
        const QString records =
            QStringLiteral("<payable><header><billno>B1</billno></header></payable>"
                           "<payable><code>B1</code><header><billno>B2</billno></header></payable>"
                           "<payable><header><billno>B1</billno></header></payable>");
        const XmlDocument result = server.exchangeDocument(
            importDocument(QStringLiteral("payable"), QStringLiteral("Add"), records));
        QCOMPARE(outcomes(result),
                 QStringList({QStringLiteral("0 B1 已添加"), QStringLiteral("0 B2 已添加"),
                              QStringLiteral("1 B1 关键字“B1”已存在！")}));
    }

    void refusedDocumentsStoreNothing_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << "demo"
                                        << "x"
                                        << "001"
                                        << "用户“demo”的密码不正确！";
        QTest::newRow("unknown user") << "ghost"
                                      << "ghost"
                                      << "001"
                                      << "用户“ghost”不存在！";
        QTest::newRow("disabled sender") << "demo"
                                         << "demo"
                                         << "009"
                                         << "注册号“009”已停用！";
        QTest::newRow("unknown sender") << "demo"
                                        << "demo"
                                        << "123"
                                        << "注册号“123”不存在！";
        QTest::newRow("no right to execute") << "clerk"
                                             << "clerk"
                                             << "001"
                                             << "用户“clerk”没有执行导入导出的权限！";
    }
    void refusedDocumentsStoreNothing() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, sender);
        QFETCH(QString, reason);
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"),
                           customer(QStringLiteral("C1")) + customer(QStringLiteral("C2")), {},
                           sender, Credentials{user, password}));
        QCOMPARE(outcomes(result),
                 QStringList({QStringLiteral("1 C1 ") + reason, QStringLiteral("1 C2 ") + reason}));
        QCOMPARE(server.service().records().count(kCustomer), 0);
    }

    void executeRightIsEnoughToImport() {
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(
            importDocument(kCustomer, QStringLiteral("Add"), customer(QStringLiteral("C1")), {},
                           QStringLiteral("001"),
                           Credentials{QStringLiteral("viewer"), QStringLiteral("viewer")}));
        QCOMPARE(outcomes(result), QStringList{QStringLiteral("0 C1 已添加")});
    }

    void documentWithoutRecordsSaysSo() {
        ServerFixture server;
        const XmlDocument result =
            server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), QString()));
        QCOMPARE(outcomes(result), QStringList{QStringLiteral("1  文档中没有customer记录！")});
    }
};

KVX_TEST_MAIN_CORE(ServerImportTest)
#include "tst_server_import.moc"
