// Import documents and queries over real HTTP against a real store: procs and options, bad
// records among good ones, records stored whole, vouchers, key paths, code mapping both ways,
// and the conditions of queries.
#include "server/code_map.h"
#include "server/record_table.h"
#include "server_fixture.h"
#include "test_main.h"

#include <QStringEncoder>

using namespace kvx;
using namespace kvx::test;
using namespace Qt::StringLiterals;

namespace {

const QString kCustomer = u"customer"_s;
const QString kVoucher = u"voucher"_s;

QString customer(const QString& code, const QString& name = "客户", const QString& extra = {}) {
    return u"<customer><code>%1</code><name>%2</name>%3</customer>"_s.arg(code, name, extra);
}

QString voucher(const QString& code, const QString& debit, const QString& credit) {
    return u"<voucher><code>%1</code><header><voucher_type>记</voucher_type><fiscal_year>2026"
           "</fiscal_year><accounting_period>3</accounting_period><voucher_id>12</voucher_id>"
           "</header><body><entry><debit>%2</debit><credit>0.00</credit></entry>"
           "<entry><debit>0.00</debit><credit>%3</credit></entry></body></voucher>"_s.arg(
               code, debit, credit);
}

// The stored record's name, or "" when there is none.
QString storedName(ServerFixture& server, const QString& key) {
    const auto record = server.service().records().find(kCustomer, key);
    return record ? XmlDocument::fromString(record->xml).selectFirst(u"//name"_s).text()
                  : QString();
}

// Four customers; C10 leaves out its credit line, C2 keeps a date in its header.
const QString kCustomers =
    customer("C1", "北京华联",
             "<class>01</class><creditline>200000.00</creditline><devdate>2018-04-10</devdate>"
             "<disabled>0</disabled>") +
    customer("C2", "上海浦江",
             "<class>02</class><creditline>9000</creditline><devdate>2020-06-15</devdate>"
             "<disabled>0</disabled><header><date>2026-03-01</date></header>") +
    customer("C3", "广州'南方\"",
             "<class>01</class><creditline>50000</creditline><devdate>2023-01-01</devdate>"
             "<disabled>1</disabled>") +
    customer("C10", "深圳", "<class>03</class><devdate>2021-12-31</devdate><disabled>0</disabled>");

QString field(const QString& name, const QString& op, const QString& value,
              const QString& logic = {}) {
    return u"<field display=\"字段\" name=\"%1\" operation=\"%2\" value=\"%3\" logic=\"%4\"/>"_s
        .arg(name.toHtmlEscaped(), op.toHtmlEscaped(), value.toHtmlEscaped(), logic);
}

QString preserved(const QString& name, const QString& op, const QString& value) {
    return field(name, op, value, u"and"_s).replace(u"<field "_s, u"<field preserved=\"1\" "_s);
}

qint64 erpNumber(const XmlDocument& result, int index) {
    return result.select(u"//item"_s).value(index).attribute(u"m6voucher_id"_s).toLongLong();
}

} // namespace

class ServerExchangeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // C1 is stored as "旧"; the document holds C1 (its key padded) and C2, both "新".
    void procsAndOptions_data() {
        QTest::addColumn<QString>("proc");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<QString>("nameOfC1");
        QTest::addColumn<bool>("c2Stored");
        auto row = [](const char* tag, const char* proc, const char* options, const QString& c1,
                      const QString& c2, const char* name) {
            QTest::newRow(tag) << QString(proc) << QString(options) << c1 + u" | "_s + c2
                               << QString(name) << c2.startsWith(QLatin1Char('0'));
        };
        const QString exists = u"1 C1 关键字“C1”已存在！"_s;
        const QString edited = u"0 C1 已修改"_s;
        const QString deleted = u"0 C1 已删除"_s;
        const QString added = u"0 C2 已添加"_s;
        const QString missing = u"1 C2 关键字“C2”不存在！"_s;
        row("no proc adds", "", "updateexisting='n' skipexisting='n'", exists, added, "旧");
        row("skip existing", "add", "skipexisting='y'", "0 C1 已存在，已跳过", added, "旧");
        row("update existing", "Add", "updateexisting='Y'", "0 C1 已存在，已更新", added, "新");
        row("edit in capitals", "EDIT", "", edited, missing, "新");
        row("delete", "Delete", "", deleted, missing, "");
        row("add or edit", "AddOrEdit", "", edited, added, "新");
        row("a word for changing", "Modify", "", edited, missing, "新");
        row("a word for deleting", "Remove", "", deleted, missing, "");
        const QString ambiguous = u"不支持的导入操作“AddOrDelete”！"_s;
        row("delete is never guessed", "AddOrDelete", "", u"1 C1 "_s + ambiguous,
            u"1 C2 "_s + ambiguous, "旧");
        const QString unknown = u"不支持的导入操作“Audit”！"_s;
        row("unknown", "Audit", "", u"1 C1 "_s + unknown, u"1 C2 "_s + unknown, "旧");
    }
    void procsAndOptions() {
        QFETCH(QString, proc);
        QFETCH(QString, options);
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, "Add", customer("C1", "旧")));
        const XmlDocument result = server.exchangeDocument(importDocument(
            kCustomer, proc, customer(" C1 ", "新") + customer("C2", "新"), options));
        QCOMPARE(result.root().attribute(u"docid"_s), u"42"_s);
        QTEST(outcomes(result).join(u" | "_s), "outcomes");
        QTEST(storedName(server, "C1"), "nameOfC1");
        QTEST(bool(server.service().records().find(kCustomer, "C2")), "c2Stored");
    }

    // A bad date, a missing key and a key repeated in the same document fail alone; the
    // document's other records are stored, and elements not named by roottag are no records.
    void badRecordsFailAloneAndGoodOnesStay() {
        ServerFixture server;
        const QString records = customer("C1", "甲", "<devdate>2021-03-15</devdate>") +
                                customer("C2", "乙", "<devdate>2021-02-30</devdate>") +
                                u"<customer><name>无编码</name></customer>"_s + customer("C3") +
                                customer("C1", "重复") + u"<other><code>X1</code></other>"_s;
        const XmlDocument result =
            server.exchangeDocument(importDocument(kCustomer, "Add", records));
        QCOMPARE(outcomes(result),
                 QStringList({u"0 C1 已添加"_s,
                              u"1 C2 字段devdate的日期“2021-02-30”无效，应为yyyy-mm-dd！"_s,
                              u"1  缺少关键字（code）！"_s, u"0 C3 已添加"_s,
                              u"1 C1 关键字“C1”已存在！"_s}));
        QCOMPARE(server.service().records().count(kCustomer), 2);
        QCOMPARE(storedName(server, "C1"), u"甲"_s);
        static const QRegularExpression line(
            u"^\\S+ /M6Kvx/import.asp operator=demo sender=001 roottag=customer "
            "proc=Add records=5 outcome=200 3 of 5 failed$"_s);
        QVERIFY2(line.match(server.log().last()).hasMatch(), qPrintable(server.log().last()));

        const XmlDocument empty =
            server.exchangeDocument(importDocument(kCustomer, "Add", QString()));
        QCOMPARE(outcomes(empty), QStringList{u"1  文档中没有customer记录！"_s});
    }

    // Windows programs write code page 936 under a gb2312 declaration (堃 is not in GB2312).
    // The record is stored as sent and exported, indented, with every value as it was.
    void gbkRecordIsStoredWhole() {
        ServerFixture server;
        const QString record = u"<customer kind=\"a&amp;b\"><code>C1</code><name>A &lt; B 堃</name>"
                               "<memo>line1\nline2</memo><empty/></customer>"_s;
        const QByteArray body = QStringEncoder("GB18030").encode(
            u"<?xml version='1.0' encoding='gb2312'?><ztinterface sender='001' "
            "roottag='customer'>%1<opinfo operator='demo' pwd='%2'/></ztinterface>"_s.arg(
                record, encryptedPassword(u"demo"_s)));
        QCOMPARE(outcomes(server.exchangeDocument(body)), QStringList{u"0 C1 已添加"_s});
        QCOMPARE(server.service().records().find(kCustomer, "C1")->xml, record);
        const HttpResult exported = server.exchange(queryEnvelope(kCustomer));
        QVERIFY(exported.body.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        const XmlDocument data = XmlDocument::fromBytes(exported.body);
        const XmlElement stored = data.selectFirst(u"/ztinterface/customer"_s);
        QCOMPARE(stored.attribute(u"kind"_s), u"a&b"_s);
        QCOMPARE(stored.firstChildElement(u"name"_s).text(), u"A < B 堃"_s);
        QCOMPARE(stored.firstChildElement(u"memo"_s).text(), u"line1\nline2"_s);
    }

    void vouchersAreCheckedAndNumbered() {
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(importDocument(
            kVoucher, "Add",
            voucher("PZ1", "100.00", "100.00") + voucher("PZ2", "100.00", "90.00") +
                voucher("PZ3", "abc", "0") + "<voucher><code>PZ4</code><header/></voucher>" +
                voucher("PZ5", "0.10", "0.1") +
                // Totals at the largest amount the store holds, and one cent past it.
                voucher("PZ6", "9999999999999.99", "9999999999999.99") +
                "<voucher><code>PZ7</code><body><entry><debit>9999999999999.99</debit></entry>"
                "<entry><debit>0.01</debit></entry></body></voucher>"));
        QCOMPARE(
            outcomes(result),
            QStringList({u"0 PZ1 已添加"_s, u"1 PZ2 凭证借贷不平衡（借方100.00，贷方90.00）！"_s,
                         u"1 PZ3 凭证分录的debit金额“abc”无效！"_s, u"1 PZ4 凭证没有分录！"_s,
                         u"0 PZ5 已添加"_s, u"0 PZ6 已添加"_s,
                         u"1 PZ7 凭证借方合计超出可保存的范围（最大9999999999999.99）！"_s}));
        const XmlElement first = result.selectFirst(u"//item"_s);
        QCOMPARE(QStringList({first.attribute(u"voucher_type"_s), first.attribute(u"voucher_id"_s),
                              first.attribute(u"m6accounting_period"_s)}),
                 QStringList({u"记"_s, u"12"_s, u"202603"_s}));
        QCOMPARE(erpNumber(result, 1), 0);
        QVERIFY(erpNumber(result, 0) > 0 && erpNumber(result, 0) != erpNumber(result, 4));

        const XmlDocument unbalanced = server.exchangeDocument(
            importDocument(kVoucher, "Add", voucher("PZ2", "100.00", "90.00"), "unbalanced='y'"));
        QCOMPARE(outcomes(unbalanced), QStringList{u"0 PZ2 已添加"_s});
        // The ERP's own numbers never come back after a delete.
        server.exchangeDocument(
            importDocument(kVoucher, "Delete", "<voucher><code>PZ2</code></voucher>"));
        const XmlDocument readded =
            server.exchangeDocument(importDocument(kVoucher, "Add", voucher("PZ2", "1", "1")));
        QVERIFY(erpNumber(readded, 0) > erpNumber(unbalanced, 0));
    }

    void keyPathIsPerRoottag() {
        ServerFixture server;
        QVERIFY(server.service().records().setKeyPath("payable", "header/billno"));
        const XmlDocument result = server.exchangeDocument(
            importDocument("payable", "Add",
                           "<payable><header><billno>B1</billno></header></payable>"
                           "<payable><code>B1</code><header><billno>B2</billno></header></payable>"
                           "<payable><header><billno>B1</billno></header></payable>"));
        QCOMPARE(outcomes(result),
                 QStringList({u"0 B1 已添加"_s, u"0 B2 已添加"_s, u"1 B1 关键字“B1”已存在！"_s}));
    }

    // Keys and references named like a mapped roottag, by the sender's pairs; back on export.
    void codesAreMappedBothWays() {
        ServerFixture server;
        CodeMap& codes = server.service().codes();
        QVERIFY(codes.add(kCustomer, "002", "SH-1", "C001"));
        QVERIFY(codes.add("inventory", "002", "SH-I1", "I001"));
        QVERIFY(!codes.add(kCustomer, "002", "SH-2", " "));
        const QString exchanged = u"codeexchanged='y'"_s;
        const XmlDocument added = server.exchangeDocument(importDocument(
            kCustomer, "Add", customer("SH-1") + customer("SH-9"), exchanged, "002"));
        QCOMPARE(outcomes(added),
                 QStringList({u"0 SH-1 已添加（ERP编码C001）"_s, u"0 SH-9 已添加"_s}));
        QVERIFY(server.service().records().find(kCustomer, "C001"));
        // Without codeexchanged the document's codes are stored as they are.
        server.exchangeDocument(
            importDocument(kCustomer, "Add", customer("SH-1"), "codeexchanged='n'", "002"));
        QVERIFY(server.service().records().find(kCustomer, "SH-1"));

        server.exchangeDocument(
            importDocument("saleorder", "Add",
                           "<saleorder><code>SO1</code><header><customer>SH-1</customer></header>"
                           "<body><entry><inventory>SH-I1</inventory></entry><entry><inventory>X"
                           "</inventory></entry></body></saleorder>",
                           exchanged, "002"));
        // Codes of the order as exported to sender and exportneedexch.
        auto exported = [&](const QString& sender, const QString& needExchange) {
            const XmlDocument data =
                server.exchangeDocument(queryEnvelope("saleorder", {}, sender, needExchange));
            QStringList codes;
            for (const XmlElement& code : data.select(u"//customer | //inventory"_s))
                codes.append(code.text());
            return codes.join(QLatin1Char(' '));
        };
        QCOMPARE(exported("002", "n"), u"C001 I001 X"_s);
        QCOMPARE(exported("002", "y"), u"SH-1 SH-I1 X"_s);
        QCOMPARE(exported("001", "y"), u"C001 I001 X"_s);
    }

    // The keys found, in key order, or the text of the 400 answer.
    void conditionsSelectRecords_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const QString& fields, const char* expected) {
            QTest::newRow(tag) << fields << QString(expected);
        };
        row("no condition item", {}, "C1 C10 C2 C3");
        row("text > in character order", field("code", ">", "C1"), "C10 C2 C3");
        row("text < with quotes", field("name", "<", "广州'南方\""), "C1 C2");
        row("number > as a number", field("creditline", ">", "50000"), "C1");
        row("number = ignores trailing zeros", field("creditline", "=", "200000"), "C1");
        row("missing field is empty text", field("creditline", "<=", "9000"), "C10 C2");
        row("date >=", field("devdate", ">=", "2020-06-15"), "C10 C2 C3");
        row("bare name found in header", field("date", "=", "2026-03-01"), "C2");
        row("path", field("header/date", "<>", ""), "C2");
        row("left to right, any case",
            field("class", "=", "01", "OR") + field("class", "=", "02", "And") +
                field("disabled", "=", "0"),
            "C1 C2");
        row("preserved field is a fixed condition",
            preserved("disabled", "=", "1") + field("class", "=", "01"), "C3");
        row("nameless preserved element is carried only",
            preserved("", "=", "1") + field("class", "=", "01"), "C1 C3");
        row("other elements are no condition",
            "<sort name='class' operation='=' value='99'/>" + field("class", "=", "02"), "C2");
        row("nothing matches", field("class", "=", "99"), "");
        row("no field name", field("class", "=", "01", "and") + field("", "=", "x"),
            "第2个查询条件（字段）没有字段名，无法查询！");
        row("unknown operator", field("class", "==", "01"),
            "第1个查询条件（字段）的比较符“==”无效！");
        row("unknown connective", field("class", "=", "01", "xor") + field("code", "=", "C1"),
            "第1个查询条件（字段）的连接词“xor”无效！");
    }
    void conditionsSelectRecords() {
        QFETCH(QString, fields);
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, "Add", kCustomers));
        const HttpResult result = server.exchange(queryEnvelope(kCustomer, fields));
        QVERIFY2(result.status == 200 || result.status == 400, result.body.constData());
        QTEST(result.status == 400
                  ? QString::fromUtf8(result.body)
                  : recordKeys(XmlDocument::fromBytes(result.body), kCustomer).join(u' '),
              "expected");
    }

    // The query's attributes come back, proc in any letter case, with records only.
    void dataDocumentDescribesItself() {
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, "Add", kCustomers));
        const XmlDocument data =
            server.exchangeDocument(queryEnvelope(kCustomer, field("code", "=", "C2"), "002")
                                        .replace("proc=\"Query\"", "proc=\"query\""));
        const XmlElement root = data.root();
        QStringList attributes{root.name()};
        for (const QString& name :
             {u"sender"_s, u"receiver"_s, u"roottag"_s, u"proc"_s, u"display"_s, u"family"_s})
            attributes.append(root.attribute(name));
        QCOMPARE(attributes, QStringList({u"ztinterface"_s, u"002"_s, u"m6"_s, kCustomer,
                                          u"Query"_s, u"标签"_s, u"组"_s}));
        QCOMPARE(root.childElements().size(), 1);
        QCOMPARE(recordKeys(data, kCustomer), QStringList{u"C2"_s});
    }
};

KVX_TEST_MAIN_CORE(ServerExchangeTest)
#include "tst_server_exchange.moc"
