#include "login/login_answer.h"
#include "test_main.h"

using namespace kvx;

class LoginDocumentsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void booleanTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value"); // -1: not a Boolean
        auto row = [](const char* text, int value) {
            QTest::newRow(text) << QString(text) << value;
        };
        row("1", 1);
        row("0", 0);
        row("-1", 1);
        row("True", 1);
        row(" FALSE ", 0);
        row("yes", -1);
    }
    void booleanTexts() {
        QFETCH(QString, text);
        QFETCH(int, value);
        const std::optional<bool> result = LoginAnswer::toBoolean(text);
        QCOMPARE(result.has_value(), value >= 0);
        if (result)
            QCOMPARE(int(*result), value);
    }

    // The messages of the other answers are checked through the login dialog.
    void readsAnswers_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("canConfigure");
        QTest::addColumn<bool>("canExecute");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("canEditSchedules"); // KV0301, else the right to configure
        using K = LoginAnswer::Kind;
        QTest::newRow("both rights")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='0'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::Succeeded) << false << true << "" << false;
        QTest::newRow("rights as True/False, items first")
            << QByteArray("<r><result succeed='0'/><item key='KV0203' succeed='False'/>"
                          "<item key='KV020202' succeed='True'/></r>")
            << int(K::Succeeded) << true << false << "" << true;
        QTest::newRow("schedule right withheld")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='1'/>"
                          "<item key='KV0301' succeed='0'/><item key='KV0203' succeed='1'/></r>")
            << int(K::Succeeded) << true << true << "" << false;
        QTest::newRow("schedule right without configuring")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='0'/>"
                          "<item key='KV0301' succeed='1'/><item key='KV0203' succeed='1'/></r>")
            << int(K::Succeeded) << false << true << "" << true;
        QTest::newRow("refusal ignores rights")
            << QByteArray("<r><result succeed='2' dsc='x'/><item key='KV020202' succeed='1'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::Refused) << false << false << "x" << false;
        QTest::newRow("configure right not a Boolean")
            << QByteArray("<r><result succeed='0'/><item key='KV020202' succeed='yes'/>"
                          "<item key='KV0203' succeed='1'/></r>")
            << int(K::RightsMissing) << false << false << "" << false;
        QTest::newRow("rights of grandchildren do not count")
            << QByteArray("<r><result succeed='0'><item key='KV020202' succeed='1'/>"
                          "<item key='KV0203' succeed='1'/></result></r>")
            << int(K::RightsMissing) << false << false << "" << false;
        QTest::newRow("root without child") << QByteArray("<r succeed='0'/>") << int(K::Unreadable)
                                            << false << false << "" << false;
    }
    void readsAnswers() {
        QFETCH(QByteArray, body);
        const LoginAnswer answer = LoginAnswer::read(body);
        QTEST(int(answer.kind), "kind");
        QTEST(answer.canConfigure, "canConfigure");
        QTEST(answer.canExecute, "canExecute");
        QTEST(answer.description, "description");
        QTEST(answer.canEditSchedules, "canEditSchedules");
    }
};

KVX_TEST_MAIN_CORE(LoginDocumentsTest)
#include "tst_login_documents.moc"
