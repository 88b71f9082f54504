#include "fixture_http_server.h"
#include "login/server_interface.h"
#include "platform/http_client.h"
#include "test_main.h"

#include <QStringEncoder>
#include <QTcpServer>

using namespace kvx;
using test::FixtureHttpServer;
using Request = ServerInterface::Request;

namespace {

const QString kNoAnswer = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");
const QString kBadAddress =
    QStringLiteral("Url地址不正确，请与相关的服务器管理员联系！(类似http://192.168.0.1/)");

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

    // Each case through a real request, so the messages follow what the HTTP layer reports.
    void transportFailures_data() {
        QTest::addColumn<QString>("target"); // "server", "closed" or "bad"
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("importMessage");
        QTest::addColumn<QString>("exportMessage");
        QTest::newRow("answered") << "server" << 200 << QByteArray("<r/>") << ""
                                  << "";
        QTest::newRow("status 500 with text")
            << "server" << 500 << QByteArray("数据库不可用") << "连接失败！服务器信息：数据库不可用"
            << "连接失败！服务器信息：数据库不可用";
        QTest::newRow("status 500 without text")
            << "server" << 500 << QByteArray() << kNoAnswer << "连接失败！服务器信息：";
        QTest::newRow("connection refused")
            << "closed" << 0 << QByteArray() << kNoAnswer << kNoAnswer;
        QTest::newRow("bad address") << "bad" << 0 << QByteArray() << kBadAddress << kBadAddress;
    }
    void transportFailures() {
        QFETCH(QString, target);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, importMessage);
        QFETCH(QString, exportMessage);
        FixtureHttpServer server([status, body](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{status, body};
        });
        QString base = server.baseUrl();
        if (target == "closed") {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            base = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
            probe.close();
        } else if (target == "bad") {
            base = "srv";
        }
        HttpClient http;
        const HttpResult result =
            http.post(ServerInterface::address(base, Request::Import), "<x/>");
        QCOMPARE(ServerInterface::importTransportFailure(result), importMessage);
        QCOMPARE(ServerInterface::exportTransportFailure(result), exportMessage);
        if (target == "server")
            QCOMPARE(server.requests().first().path, QString("/M6Kvx/import.asp"));
    }

    void notXmlMessages() {
        QCOMPARE(ServerInterface::importNotXmlMessage("oops"), QString("导入失败！\noops"));
        QCOMPARE(ServerInterface::exportNotXmlMessage("oops"), QString("导出失败！\noops"));
    }

    void answerTextInEitherEncoding() {
        HttpResult result;
        result.outcome = HttpResult::Outcome::Completed;
        result.status = 500;
        result.body = QStringLiteral("服务器错误").toUtf8();
        QCOMPARE(ServerInterface::answerText(result), QString("服务器错误"));
        QStringEncoder gbk("GB18030");
        result.body = gbk.encode(QStringLiteral("王堃无权限"));
        QCOMPARE(ServerInterface::answerText(result), QString("王堃无权限"));
    }
};

KVX_TEST_MAIN_CORE(ServerInterfaceTest)
#include "tst_server_interface.moc"
