#include "fixture_http_server.h"
#include "http_wait.h"
#include "login/login_answer.h"
#include "login/server_interface.h"
#include "test_main.h"

#include <QStringEncoder>
#include <QTcpServer>

using namespace kvx;
using test::FixtureHttpServer;
using Request = ServerInterface::Request;
using Outcome = HttpResult::Outcome;

namespace {

const QString kNoAnswer = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");
const QString kBadAddress =
    QStringLiteral("Url地址不正确，请与相关的服务器管理员联系！(类似http://192.168.0.1/)");
const QString kUnknownImport = QStringLiteral(
    "导入结果未知：请求已发给服务器，但%1。服务器可能已经接收了这些记录，请先在服务器上核对，"
    "再决定是否重新导入，以免记录重复！");
const QString kUnknownExport = QStringLiteral("导出失败：请求已发给服务器，但%1，没有收到数据。");

} // namespace

class ServerInterfaceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buildsAddresses_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("request");
        QTest::addColumn<QString>("address");
        auto row = [](const char* tag, const char* server, Request request, const char* address) {
            QTest::newRow(tag) << QString(server) << int(request) << QString(address);
        };
        row("login, final slash", "http://srv/", Request::Login, "http://srv/M6KVX/login.asp");
        row("login, no final slash", "http://srv", Request::Login, "http://srv/M6KVX/login.asp");
        row("login, blank after the slash stays", "http://srv/ ", Request::Login,
            "http://srv/ M6KVX/login.asp");
        row("login, blank without slash", "http://srv ", Request::Login,
            "http://srv /M6KVX/login.asp");
        row("import", "http://srv:8080/app", Request::Import,
            "http://srv:8080/app/M6Kvx/import.asp");
        row("export", "https://srv/app/", Request::Export, "https://srv/app/M6Kvx/import.asp");
    }
    void buildsAddresses() {
        QFETCH(QString, server);
        QFETCH(int, request);
        QFETCH(QString, address);
        QCOMPARE(ServerInterface::address(server, Request(request)), address);
    }

    // Each case through a real request: what the HTTP layer reports, whether the server may
    // have the request, and the messages of both runs.
    void requestsAndTheirMessages_data() {
        QTest::addColumn<QString>("server"); // what the server does, or "closed", "bad"
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("importMessage");
        QTest::addColumn<QString>("exportMessage");
        auto row = [](const char* tag, const char* server, Outcome outcome, bool sent,
                      const QString& importMessage, const QString& exportMessage) {
            QTest::newRow(tag) << QString(server) << int(outcome) << sent << importMessage
                               << exportMessage;
        };
        row("answered", "200", Outcome::Completed, true, "", "");
        row("status 500 with text", "500 text", Outcome::Completed, true,
            "连接失败！服务器信息：数据库不可用", "连接失败！服务器信息：数据库不可用");
        row("status 500 without text", "500", Outcome::Completed, true, kNoAnswer,
            "连接失败！服务器信息：");
        row("connection refused: never sent", "closed", Outcome::Failed, false, kNoAnswer,
            kNoAnswer);
        row("bad address", "bad", Outcome::BadUrl, false, kBadAddress, kBadAddress);
        row("silent: timed out", "never", Outcome::TimedOut, true,
            kUnknownImport.arg("等待应答超过了时限"), kUnknownExport.arg("等待应答超过了时限"));
        row("dropped after reading, not sent again", "drop", Outcome::Failed, true,
            kUnknownImport.arg("应答前连接已中断"), kUnknownExport.arg("应答前连接已中断"));
        row("cancelled while waiting", "cancel", Outcome::Cancelled, true,
            kUnknownImport.arg("等待应答时已取消"), kUnknownExport.arg("等待应答时已取消"));
    }
    void requestsAndTheirMessages() {
        QFETCH(QString, server);
        QFETCH(bool, sent);
        FixtureHttpServer fixture([server](const FixtureHttpServer::Request&) {
            FixtureHttpServer::Response response;
            response.status = server.section(' ', 0, 0).toInt();
            response.body = server.endsWith("text") ? QStringLiteral("数据库不可用").toUtf8()
                            : server == "200"       ? QByteArray("<r/>")
                                                    : QByteArray();
            response.never = server == "never" || server == "cancel";
            response.drop = server == "drop";
            return response;
        });
        QString base = fixture.baseUrl();
        if (server == "closed") {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            base = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
        } else if (server == "bad") {
            base = "srv";
        }
        HttpClient http;
        http.setTimeoutMilliseconds(HttpClient::Limit::Run, 300);
        HttpRequest* request = http.post(ServerInterface::address(base, Request::Import), "<x/>",
                                         HttpClient::Limit::Run);
        if (server == "cancel")
            QTimer::singleShot(100, request, [request] { request->cancel(); });
        const HttpResult result = test::waitFor(request);
        QTEST(int(result.outcome), "outcome");
        QCOMPARE(result.requestSent, sent);
        QTEST(ServerInterface::importTransportFailure(result), "importMessage");
        QTEST(ServerInterface::exportTransportFailure(result), "exportMessage");
        // Nothing is ever sent a second time.
        QCOMPARE(fixture.requests().size(), server == "closed" || server == "bad" ? 0 : 1);
    }

    // Each request waits within its own limit, from the environment unless set.
    void limits() {
        qputenv("KVX_HTTP_TIMEOUT", "7");
        qunsetenv("KVX_RUN_TIMEOUT");
        HttpClient http;
        QCOMPARE(http.timeoutMilliseconds(HttpClient::Limit::Login), 7000);
        QCOMPARE(http.timeoutMilliseconds(HttpClient::Limit::Run), 3600000);
        qputenv("KVX_RUN_TIMEOUT", "0");
        QCOMPARE(HttpClient::defaultTimeoutSeconds(HttpClient::Limit::Run), 3600);
        qputenv("KVX_RUN_TIMEOUT", "90");
        QCOMPARE(HttpClient::defaultTimeoutSeconds(HttpClient::Limit::Run), 90);
        qunsetenv("KVX_HTTP_TIMEOUT");
        qunsetenv("KVX_RUN_TIMEOUT");
        QCOMPARE(HttpClient::defaultTimeoutSeconds(HttpClient::Limit::Login), 120);
    }

    void notXmlAndAnswerText() {
        QCOMPARE(ServerInterface::importNotXmlMessage("oops"), QString("导入失败！\noops"));
        QCOMPARE(ServerInterface::exportNotXmlMessage("oops"), QString("导出失败！\noops"));
        HttpResult result;
        result.body = QStringLiteral("服务器错误").toUtf8();
        QCOMPARE(ServerInterface::answerText(result), QString("服务器错误"));
        result.body = QStringEncoder("GB18030").encode(QStringLiteral("王堃无权限"));
        QCOMPARE(ServerInterface::answerText(result), QString("王堃无权限"));
    }

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

KVX_TEST_MAIN_CORE(ServerInterfaceTest)
#include "tst_server_interface.moc"
