#include "login/login_answer.h"
#include "login/login_request.h"
#include "platform/xml_document.h"
#include "test_main.h"

#include <QStringEncoder>

using namespace kvx;

class LoginDocumentsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestCarriesTheFourAttributesInOrder() {
        const LoginRequest request{"王堃", "0a1b", "2026-03-15", "001"};
        const QByteArray bytes = request.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        const XmlDocument parsed = XmlDocument::fromBytes(bytes);
        QVERIFY(!parsed.isNull());
        QCOMPARE(parsed.root().name(), QString("opinfo"));
        const QList<QPair<QString, QString>> expected = {
            {"uid", "王堃"}, {"pwd", "0a1b"}, {"date", "2026-03-15"}, {"sender", "001"}};
        QCOMPARE(parsed.root().attributes(), expected);
    }

    void booleanTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: not a Boolean
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("-1") << "-1" << 1;
        QTest::newRow("0.0") << "0.0" << 0;
        QTest::newRow("2.5") << "2.5" << 1;
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("FALSE") << "FALSE" << 0;
        QTest::newRow("true with blanks") << " true " << 1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("yes") << "yes" << -1;
    }
    void booleanTexts() {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<bool> result = LoginAnswer::toBoolean(text);
        QCOMPARE(result.has_value(), value >= 0);
        if (result)
            QCOMPARE(int(*result), value);
    }

    void readsAnswers_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("canConfigure");
        QTest::addColumn<bool>("canExecute");
        QTest::addColumn<QString>("description");
        using K = LoginAnswer::Kind;
        QTest::newRow("both rights")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='0'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::Succeeded) << false << true << "";
        QTest::newRow("rights as True/False, items first")
            << QByteArray("<r><result succeed='0'/><item key='KV0203' succeed='False'/>"
                          "<item key='KV020202' succeed='True'/></r>")
            << int(K::Succeeded) << true << false << "";
        QTest::newRow("refused with reason")
            << QByteArray("<r><result succeed='1' dsc='密码错误'/></r>") << int(K::Refused) << false
            << false << "密码错误";
        QTest::newRow("refusal ignores rights")
            << QByteArray("<r><result succeed='2' dsc='x'/><item key='KV020202' succeed='1'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::Refused) << false << false << "x";
        QTest::newRow("execute right missing")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='1'/></r>")
            << int(K::RightsMissing) << false << false << "";
        QTest::newRow("configure right not a Boolean")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='yes'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::RightsMissing) << false << false << "";
        QTest::newRow("rights of grandchildren do not count")
            << QByteArray("<r><result succeed='0'><item key='KV020202' succeed='1'/>"
                          "<item key='KV0203' succeed='1'/></result></r>")
            << int(K::RightsMissing) << false << false << "";
        QTest::newRow("not XML") << QByteArray("<html><body>500") << int(K::Unreadable) << false
                                 << false << "";
        QTest::newRow("empty") << QByteArray() << int(K::Unreadable) << false << false << "";
        QTest::newRow("root without child")
            << QByteArray("<r succeed='0'/>") << int(K::Unreadable) << false << false << "";
    }
    void readsAnswers() {
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(bool, canConfigure);
        QFETCH(bool, canExecute);
        QFETCH(QString, description);
        const LoginAnswer answer = LoginAnswer::read(body);
        QCOMPARE(int(answer.kind), kind);
        QCOMPARE(answer.canConfigure, canConfigure);
        QCOMPARE(answer.canExecute, canExecute);
        QCOMPARE(answer.description, description);
    }

    void readsGb2312AnswerAndKeepsItsText() {
        QStringEncoder gbk("GB18030");
        const QByteArray body =
            gbk.encode(QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?>"
                                      "<r><result succeed=\"1\" dsc=\"用户王堃已停用\"/></r>"));
        const LoginAnswer answer = LoginAnswer::read(body);
        QCOMPARE(answer.kind, LoginAnswer::Kind::Refused);
        QCOMPARE(answer.description, QString("用户王堃已停用"));
        QVERIFY(answer.xmlText.contains("用户王堃已停用"));
    }
};

KVX_TEST_MAIN_CORE(LoginDocumentsTest)
#include "tst_login_documents.moc"
