// Query envelopes over real HTTP: conditions on text, numbers and dates, connectives left
// to right, data document attributes and refusals.
#include "server_fixture.h"
#include "test_main.h"

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kCustomer = QStringLiteral("customer");

// Four customers; C10 leaves out its credit line.
const QString kCustomers = QStringLiteral(
    "<customer><code>C1</code><name>北京华联</name><class>01</class><creditline>200000.00</"
    "creditline>"
    "<creditdays>30</creditdays><devdate>2018-04-10</devdate><disabled>0</disabled></customer>"
    "<customer><code>C2</code><name>上海浦江</name><class>02</class><creditline>9000</creditline>"
    "<creditdays>45</creditdays><devdate>2020-06-15</devdate><disabled>0</disabled></customer>"
    "<customer><code>C3</code><name>广州'南方\"</name><class>01</class><creditline>50000</"
    "creditline>"
    "<creditdays>60</creditdays><devdate>2023-01-01</devdate><disabled>1</disabled></customer>"
    "<customer><code>C10</code><name>深圳</name><class>03</class>"
    "<creditdays>15</creditdays><devdate>2021-12-31</devdate><disabled>0</disabled></customer>");

QString field(const QString& name, const QString& op, const QString& value,
              const QString& logic = {}) {
    XmlDocument document = XmlDocument::create(QStringLiteral("field"));
    XmlElement f = document.root();
    f.setAttribute(QStringLiteral("display"), QStringLiteral("字段"));
    f.setAttribute(QStringLiteral("name"), name);
    f.setAttribute(QStringLiteral("operation"), op);
    f.setAttribute(QStringLiteral("value"), value);
    f.setAttribute(QStringLiteral("logic"), logic);
    return f.toXml();
}

QString preserved(const QString& name, const QString& op, const QString& value) {
    return field(name, op, value, QStringLiteral("and"))
        .replace(QStringLiteral("<field "), QStringLiteral("<field preserved=\"1\" "));
}

} // namespace

class ServerExportTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void conditionsSelectRecords_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("keys");
        const QString o = QStringLiteral("or");
        const QString a = QStringLiteral("and");
        QTest::newRow("no condition item") << QString() << QStringList{"C1", "C10", "C2", "C3"};
        QTest::newRow("text =") << field("class", "=", "01") << QStringList{"C1", "C3"};
        QTest::newRow("text <>") << field("class", "<>", "01") << QStringList{"C10", "C2"};
        QTest::newRow("text > compares as text")
            << field("code", ">", "C1") << QStringList{"C10", "C2", "C3"};
        QTest::newRow("text >=") << field("code", ">=", "C2") << QStringList{"C2", "C3"};
        QTest::newRow("text < with quotes")
            << field("name", "<", "广州'南方\"") << QStringList{"C1", "C2"};
        QTest::newRow("text <= with quotes")
            << field("name", "<=", "广州'南方\"") << QStringList{"C1", "C2", "C3"};
        QTest::newRow("number > compares as number")
            << field("creditline", ">", "50000") << QStringList{"C1"};
        QTest::newRow("number = ignores decimals")
            << field("creditline", "=", "200000") << QStringList{"C1"};
        QTest::newRow("number >= with decimals")
            << field("creditline", ">=", "9000.00") << QStringList{"C1", "C2", "C3"};
        QTest::newRow("number < counts a missing field as empty")
            << field("creditline", "<", "10000") << QStringList{"C10", "C2"};
        QTest::newRow("number <=") << field("creditdays", "<=", "30") << QStringList{"C1", "C10"};
        QTest::newRow("number <>")
            << field("creditdays", "<>", "45") << QStringList{"C1", "C10", "C3"};
        QTest::newRow("date >=") << field("devdate", ">=", "2020-06-15")
                                 << QStringList{"C10", "C2", "C3"};
        QTest::newRow("date <") << field("devdate", "<", "2020-01-01") << QStringList{"C1"};
        QTest::newRow("date =") << field("devdate", "=", "2021-12-31") << QStringList{"C10"};
        QTest::newRow("and/or left to right, not by precedence")
            << field("class", "=", "01", o) + field("class", "=", "02", a) +
                   field("disabled", "=", "0")
            << QStringList{"C1", "C2"};
        QTest::newRow("or after and")
            << field("disabled", "=", "1", a) + field("class", "=", "01", o) +
                   field("creditdays", "=", "15")
            << QStringList{"C10", "C3"};
        QTest::newRow("connectives in any case")
            << field("class", "=", "03", "OR") + field("class", "=", "02", "And") +
                   field("disabled", "=", "0")
            << QStringList{"C10", "C2"};
        QTest::newRow("connective of the last condition is ignored")
            << field("class", "=", "02", o) << QStringList{"C2"};
        QTest::newRow("preserved field is a fixed condition")
            << preserved("disabled", "=", "1") + field("class", "=", "01")
            << QStringList{"C3"};
        QTest::newRow("preserved element without a name is carried only")
            << preserved("", "=", "1") + field("class", "=", "01")
            << QStringList{"C1", "C3"};
        QTest::newRow("other elements are no condition")
            << QStringLiteral("<sort name='class' operation='=' value='99'/>") +
                   field("class", "=", "02")
            << QStringList{"C2"};
        QTest::newRow("unknown field is empty")
            << field("nosuch", "=", "") << QStringList{"C1", "C10", "C2", "C3"};
        QTest::newRow("nothing matches") << field("class", "=", "99") << QStringList{};
    }
    void conditionsSelectRecords() {
        QFETCH(QString, fields);
        QFETCH(QStringList, keys);
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), kCustomers));
        const XmlDocument data = server.exchangeDocument(queryEnvelope(kCustomer, fields));
        QVERIFY(!data.isNull());
        QCOMPARE(recordKeys(data, kCustomer), keys);
        QVERIFY(server.log().last().contains(
            QStringLiteral("records=%1 outcome=200").arg(keys.size())));
    }

    // Documents keep their header fields in `header`; a bare name finds them there.
    void namesArePathsWithHeaderFallback_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("bare name in header")
            << field("date", ">=", "2026-03-01") << QStringList{"SO2"};
        QTest::newRow("explicit path") << field("header/customer", "=", "C1") << QStringList{"SO1"};
        QTest::newRow("direct child first") << field("code", "=", "SO1") << QStringList{"SO1"};
        QTest::newRow("path does not fall back")
            << field("x/date", "=", "") << QStringList{"SO1", "SO2"};
    }
    void namesArePathsWithHeaderFallback() {
        QFETCH(QString, fields);
        ServerFixture server;
        server.exchangeDocument(
            importDocument(QStringLiteral("saleorder"), QStringLiteral("Add"),
                           QStringLiteral("<saleorder><code>SO1</code><header><date>2026-02-01</"
                                          "date><customer>C1</customer></header></saleorder>"
                                          "<saleorder><code>SO2</code><header><date>2026-03-01</"
                                          "date><customer>C2</customer></header></saleorder>")));
        const XmlDocument data =
            server.exchangeDocument(queryEnvelope(QStringLiteral("saleorder"), fields));
        QTEST(recordKeys(data, QStringLiteral("saleorder")), "keys");
    }

    void conditionsThatCannotBeEvaluatedAreRefused_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty name") << field("class", "=", "01", "and") + field("", "=", "x")
                                    << "第2个查询条件（字段）没有字段名，无法查询！";
        QTest::newRow("blank name")
            << field("  ", "=", "x") << "第1个查询条件（字段）没有字段名，无法查询！";
        QTest::newRow("unknown operator")
            << field("class", "==", "01") << "第1个查询条件（字段）的比较符“==”无效！";
        QTest::newRow("empty operator")
            << field("class", "", "01") << "第1个查询条件（字段）的比较符“”无效！";
        QTest::newRow("unknown connective")
            << field("class", "=", "01", "xor") + field("code", "=", "C1")
            << "第1个查询条件（字段）的连接词“xor”无效！";
    }
    void conditionsThatCannotBeEvaluatedAreRefused() {
        QFETCH(QString, fields);
        QFETCH(QString, reason);
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), kCustomers));
        const HttpResult result = server.exchange(queryEnvelope(kCustomer, fields));
        QCOMPARE(result.status, 400);
        QCOMPARE(QString::fromUtf8(result.body), reason);
    }

    void dataDocumentDescribesItself() {
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), kCustomers));
        QByteArray query =
            queryEnvelope(kCustomer, field("code", "=", "C2"), QStringLiteral("002"));
        query.replace("proc=\"Query\"", "proc=\"query\"");
        const XmlDocument data = server.exchangeDocument(query);
        const XmlElement root = data.root();
        QCOMPARE(root.name(), QStringLiteral("ztinterface"));
        QCOMPARE(root.attribute(QStringLiteral("roottag")), kCustomer);
        QCOMPARE(root.attribute(QStringLiteral("sender")), QStringLiteral("002"));
        QCOMPARE(root.attribute(QStringLiteral("receiver")), QStringLiteral("m6"));
        QCOMPARE(root.attribute(QStringLiteral("display")), QStringLiteral("标签"));
        QCOMPARE(root.attribute(QStringLiteral("family")), QStringLiteral("组"));
        QCOMPARE(root.attribute(QStringLiteral("proc")), QStringLiteral("Query"));
        QCOMPARE(recordKeys(data, kCustomer), QStringList{QStringLiteral("C2")});
        // The condition item and opinfo do not come back.
        QCOMPARE(root.childElements().size(), 1);
        QCOMPARE(server.service().records().count(kCustomer), 4);
    }

    void unknownRoottagGivesAnEmptyDocument() {
        ServerFixture server;
        const XmlDocument data =
            server.exchangeDocument(queryEnvelope(QStringLiteral("warehouse")));
        QCOMPARE(data.root().attribute(QStringLiteral("roottag")), QStringLiteral("warehouse"));
        QVERIFY(data.root().childElements().isEmpty());
    }

    void refusedQueriesGet403_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("execute right") << "viewer"
                                       << "viewer"
                                       << "001" << 200 << "";
        QTest::newRow("wrong password") << "viewer"
                                        << "demo"
                                        << "001" << 403 << "用户“viewer”的密码不正确！";
        QTest::newRow("no execute right") << "clerk"
                                          << "clerk"
                                          << "001" << 403 << "用户“clerk”没有执行导入导出的权限！";
        QTest::newRow("disabled sender") << "demo"
                                         << "demo"
                                         << "009" << 403 << "注册号“009”已停用！";
        QTest::newRow("no sender") << "demo"
                                   << "demo"
                                   << "" << 403 << "注册号不能为空！";
    }
    void refusedQueriesGet403() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, sender);
        QFETCH(int, status);
        QFETCH(QString, reason);
        ServerFixture server;
        server.exchangeDocument(importDocument(kCustomer, QStringLiteral("Add"), kCustomers));
        const HttpResult result = server.exchange(
            queryEnvelope(kCustomer, {}, sender, QStringLiteral("n"), Credentials{user, password}));
        QCOMPARE(result.status, status);
        if (status != 200)
            QCOMPARE(QString::fromUtf8(result.body), reason);
    }
};

KVX_TEST_MAIN_CORE(ServerExportTest)
#include "tst_server_export.moc"
