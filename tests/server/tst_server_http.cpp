// The exchange pages over real HTTP: paths, methods, limits, login answers, encodings and
// the fault flags.
#include "platform/password_encryptor.h"
#include "server_fixture.h"
#include "test_main.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringEncoder>

using namespace kvx;
using namespace kvx::test;

namespace {

QString loginOutcome(const HttpResult& result, QString* dsc = nullptr) {
    const XmlDocument answer = XmlDocument::fromBytes(result.body);
    const XmlElement first = answer.root().firstChildElement();
    if (dsc)
        *dsc = first.attribute(QStringLiteral("dsc"));
    return first.attribute(QStringLiteral("succeed"));
}

QString rightOf(const HttpResult& result, const QString& key) {
    const XmlDocument answer = XmlDocument::fromBytes(result.body);
    return answer.root()
        .selectFirst(QStringLiteral("item[@key=$k]"), {{QStringLiteral("k"), key}})
        .attribute(QStringLiteral("succeed"));
}

} // namespace

class ServerHttpTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pagesIgnoreLetterCase_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("status");
        QTest::newRow("login as the console spells it") << "M6KVX/login.asp" << 200;
        QTest::newRow("login in lower case") << "m6kvx/LOGIN.ASP" << 200;
        QTest::newRow("import folder spelled for login") << "M6Kvx/login.asp" << 200;
        QTest::newRow("unknown page") << "M6KVX/logout.asp" << 404;
        QTest::newRow("dot is no wildcard") << "M6KVX/loginXasp" << 404;
        QTest::newRow("nested below") << "x/M6KVX/login.asp" << 404;
        QTest::newRow("root") << "" << 404;
    }
    void pagesIgnoreLetterCase() {
        QFETCH(QString, page);
        QFETCH(int, status);
        ServerFixture server;
        const HttpResult result =
            server.post(page, loginRequest(QStringLiteral("demo"), QStringLiteral("demo"),
                                           QStringLiteral("001")));
        QCOMPARE(result.status, status);
        if (status == 404)
            QVERIFY(QString::fromUtf8(result.body).startsWith(QStringLiteral("找不到页面")));
    }

    void otherMethodsAreRefused() {
        ServerFixture server;
        QNetworkAccessManager manager;
        QNetworkReply* reply = manager.get(
            QNetworkRequest(QUrl(server.baseUrl() + QStringLiteral("m6kvx/import.asp"))));
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 405);
        QCOMPARE(reply->rawHeader("Allow"), QByteArray("POST"));
        QCOMPARE(QString::fromUtf8(reply->readAll()), QStringLiteral("此页面只接受POST请求。"));
        delete reply;
    }

    void basePathPrefixesThePages() {
        HttpSettings settings;
        settings.basePath = QStringLiteral("kvx");
        ServerFixture server(settings);
        const QByteArray body =
            loginRequest(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("001"));
        QCOMPARE(server.post(QStringLiteral("KVX/m6kvx/login.asp"), body).status, 200);
        QCOMPARE(server.post(QStringLiteral("M6KVX/login.asp"), body).status, 404);
    }

    void loginReportsTheRights_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("configure");
        QTest::addColumn<QString>("execute");
        QTest::addColumn<QString>("mail");
        QTest::newRow("every right") << "demo"
                                     << "1"
                                     << "1"
                                     << "1";
        QTest::newRow("execute only") << "viewer"
                                      << "0"
                                      << "1"
                                      << "0";
        QTest::newRow("configure only") << "clerk"
                                        << "1"
                                        << "0"
                                        << "0";
    }
    void loginReportsTheRights() {
        QFETCH(QString, user);
        ServerFixture server;
        const HttpResult result = server.login(loginRequest(user, user, QStringLiteral(" 002 ")));
        QCOMPARE(result.status, 200);
        QVERIFY(result.body.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QString dsc;
        QCOMPARE(loginOutcome(result, &dsc), QStringLiteral("0"));
        QCOMPARE(dsc, QStringLiteral("登录成功"));
        QTEST(rightOf(result, QStringLiteral("KV020202")), "configure");
        QTEST(rightOf(result, QStringLiteral("KV0203")), "execute");
        QTEST(rightOf(result, QStringLiteral("KV0301")), "mail");
        QVERIFY(server.log().last().contains(QStringLiteral("operator=") + user));
        QVERIFY(server.log().last().contains(QStringLiteral("sender=002")));
    }

    void loginRefusalsSayWhy_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown user") << "nobody"
                                      << "demo"
                                      << "001"
                                      << "用户“nobody”不存在！";
        QTest::newRow("user in other case") << "DEMO"
                                            << "demo"
                                            << "001"
                                            << "用户“DEMO”不存在！";
        QTest::newRow("empty user") << ""
                                    << "demo"
                                    << "001"
                                    << "用户名不能为空！";
        QTest::newRow("wrong password") << "demo"
                                        << "Demo"
                                        << "001"
                                        << "用户“demo”的密码不正确！";
        QTest::newRow("unknown sender") << "demo"
                                        << "demo"
                                        << "003"
                                        << "注册号“003”不存在！";
        QTest::newRow("disabled sender") << "demo"
                                         << "demo"
                                         << "009"
                                         << "注册号“009”已停用！";
        QTest::newRow("no sender") << "demo"
                                   << "demo"
                                   << " "
                                   << "注册号不能为空！";
    }
    void loginRefusalsSayWhy() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, sender);
        QFETCH(QString, reason);
        ServerFixture server;
        const HttpResult result = server.login(loginRequest(user, password, sender));
        QCOMPARE(result.status, 200);
        QString dsc;
        QCOMPARE(loginOutcome(result, &dsc), QStringLiteral("1"));
        QCOMPARE(dsc, reason);
        QVERIFY(XmlDocument::fromBytes(result.body).select(QStringLiteral("//item")).isEmpty());
    }

    void malformedRequestsGet400_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        const QByteArray opinfo = "<opinfo operator='demo' pwd='x' date='d'/>";
        QTest::newRow("login not XML")
            << "M6KVX/login.asp" << QByteArray("uid=demo&pwd=x") << "请求内容不是XML文档";
        QTest::newRow("login empty") << "M6KVX/login.asp" << QByteArray() << "请求内容不是XML文档";
        QTest::newRow("login other root") << "M6KVX/login.asp" << QByteArray("<login uid='demo'/>")
                                          << "登录文档的根元素不是opinfo";
        QTest::newRow("import not XML")
            << "M6Kvx/import.asp" << QByteArray("<ztinterface") << "请求内容不是XML文档";
        QTest::newRow("import other root")
            << "M6Kvx/import.asp"
            << QByteArray("<interface roottag='customer'>" + opinfo + "</interface>")
            << "文档的根元素是interface，不是ztinterface";
        QTest::newRow("no roottag")
            << "M6Kvx/import.asp"
            << QByteArray("<ztinterface proc='Add'>" + opinfo + "</ztinterface>")
            << "文档缺少roottag属性";
        QTest::newRow("blank roottag")
            << "M6Kvx/import.asp"
            << QByteArray("<ztinterface roottag=' ' proc='Query'>" + opinfo + "</ztinterface>")
            << "文档缺少roottag属性";
        QTest::newRow("no opinfo")
            << "M6Kvx/import.asp"
            << QByteArray("<ztinterface roottag='customer' "
                          "proc='Add'><customer><code>C1</code></customer></ztinterface>")
            << "文档缺少opinfo元素";
        QTest::newRow("opinfo not a child of the root")
            << "M6Kvx/import.asp"
            << QByteArray("<ztinterface roottag='customer' proc='Add'><customer>" + opinfo +
                          "</customer></ztinterface>")
            << "文档缺少opinfo元素";
    }
    void malformedRequestsGet400() {
        QFETCH(QString, page);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        ServerFixture server;
        const HttpResult result = server.post(page, body);
        QCOMPARE(result.status, 400);
        QVERIFY2(QString::fromUtf8(result.body).startsWith(reason), result.body.constData());
        QVERIFY(server.log().last().contains(QStringLiteral("outcome=400")));
    }

    void oversizedBodyGets413() {
        HttpSettings settings;
        settings.maxBodyBytes = 4096;
        ServerFixture server(settings);
        const QString records =
            QStringLiteral("<customer><code>C%1</code><name>%2</name></customer>")
                .arg(1)
                .arg(QString(5000, QLatin1Char('x')));
        const HttpResult tooLarge = server.exchange(
            importDocument(QStringLiteral("customer"), QStringLiteral("Add"), records));
        QCOMPARE(tooLarge.status, 413);
        QVERIFY(QString::fromUtf8(tooLarge.body).contains(QStringLiteral("4096")));
        QCOMPARE(server.service().records().count(QStringLiteral("customer")), 0);
        QCOMPARE(server
                     .login(loginRequest(QStringLiteral("demo"), QStringLiteral("demo"),
                                         QStringLiteral("001")))
                     .status,
                 200);
    }

    // The console sends bytes in the declared encoding; names outside GB2312 (堃) are
    // common in GBK files and must come back unchanged.
    void bodiesAreReadByTheirDeclaration_data() {
        QTest::addColumn<QByteArray>("body");
        const QString text = QStringLiteral(
            "<?xml version='1.0' encoding='%1'?><ztinterface sender='001' receiver='m6' "
            "roottag='customer' proc='Add'><customer><code>C101</code><name>杭州堃源贸易</name>"
            "</customer><opinfo operator='demo' pwd='%2' date='2026-03-15'/></ztinterface>");
        const QString pwd = PasswordEncryptor().ascPwd(QStringLiteral("demo"));
        QTest::newRow("gb2312 declared, GBK bytes")
            << QStringEncoder("GB18030")
                   .encode(text.arg(QStringLiteral("gb2312"), pwd))
                   .
                   operator QByteArray();
        QTest::newRow("utf-8") << text.arg(QStringLiteral("UTF-8"), pwd).toUtf8();
        QTest::newRow("gb2312 with a character reference")
            << QStringEncoder("GB18030")
                   .encode(QString(text)
                               .replace(QStringLiteral("堃"), QStringLiteral("&#22531;"))
                               .arg(QStringLiteral("gb2312"), pwd))
                   .
                   operator QByteArray();
    }
    void bodiesAreReadByTheirDeclaration() {
        QFETCH(QByteArray, body);
        ServerFixture server;
        const XmlDocument result = server.exchangeDocument(body);
        QCOMPARE(resultItems(result).value(0).succeed, QStringLiteral("0"));
        const HttpResult exported = server.exchange(queryEnvelope(QStringLiteral("customer")));
        QCOMPARE(exported.status, 200);
        QVERIFY(exported.body.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        const XmlDocument data = XmlDocument::fromBytes(exported.body);
        QCOMPARE(data.selectFirst(QStringLiteral("//customer/name")).text(),
                 QStringLiteral("杭州堃源贸易"));
    }

    void delayAnswersLate() {
        HttpSettings settings;
        settings.delayMs = 400;
        ServerFixture server(settings);
        QElapsedTimer clock;
        clock.start();
        const HttpResult result = server.login(
            loginRequest(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("001")));
        QVERIFY(clock.elapsed() >= 400);
        QCOMPARE(loginOutcome(result), QStringLiteral("0"));
    }

    // A client that gives up before the late answer must not take the server down.
    void delayedAnswerToAClientThatLeft() {
        HttpSettings settings;
        settings.delayMs = 300;
        ServerFixture server(settings);
        {
            HttpClient impatient;
            impatient.setTimeoutMilliseconds(50);
            const HttpResult gaveUp =
                impatient.post(server.baseUrl() + QStringLiteral("M6KVX/login.asp"),
                               loginRequest(QStringLiteral("demo"), QStringLiteral("demo"),
                                            QStringLiteral("001")));
            QVERIFY(!gaveUp.answered());
        }
        QTest::qWait(400);
        QCOMPARE(server
                     .login(loginRequest(QStringLiteral("demo"), QStringLiteral("demo"),
                                         QStringLiteral("001")))
                     .status,
                 200);
    }

    void failStatusHitsEveryNthExchange() {
        HttpSettings settings;
        settings.failStatus = 503;
        settings.failEvery = 2;
        ServerFixture server(settings);
        const QByteArray query = queryEnvelope(QStringLiteral("customer"));
        QCOMPARE(server.exchange(query).status, 200);
        const HttpResult failed = server.exchange(query);
        QCOMPARE(failed.status, 503);
        QVERIFY(!failed.body.isEmpty());
        QCOMPARE(server.exchange(query).status, 200);
        // Logins are not exchange requests and do not count.
        QCOMPARE(server
                     .login(loginRequest(QStringLiteral("demo"), QStringLiteral("demo"),
                                         QStringLiteral("001")))
                     .status,
                 200);
        QCOMPARE(server.exchange(query).status, 503);
        // A failed import did nothing.
        const QByteArray import =
            importDocument(QStringLiteral("customer"), QStringLiteral("Add"),
                           QStringLiteral("<customer><code>C1</code></customer>"));
        QCOMPARE(server.exchange(import).status, 200);
        QCOMPARE(server.exchange(import).status, 503);
        QCOMPARE(server.service().records().count(QStringLiteral("customer")), 1);
    }

    void garbageIsNotXml() {
        HttpSettings settings;
        settings.garbageEvery = 3;
        ServerFixture server(settings);
        const QByteArray query = queryEnvelope(QStringLiteral("customer"));
        for (int i = 1; i <= 6; ++i) {
            const HttpResult result = server.exchange(query);
            QCOMPARE(result.status, 200);
            QCOMPARE(XmlDocument::fromBytes(result.body).isNull(), i % 3 == 0);
        }
    }

    void logLineNamesTheRequest() {
        ServerFixture server;
        server.exchangeDocument(importDocument(
            QStringLiteral("customer"), QStringLiteral("Add"),
            QStringLiteral(
                "<customer><code>C1</code></customer><customer><code>C1</code></customer>")));
        const QString line = server.log().last();
        for (const QString& part :
             {QStringLiteral(" /M6Kvx/import.asp "), QStringLiteral(" operator=demo "),
              QStringLiteral(" sender=001 "), QStringLiteral(" roottag=customer "),
              QStringLiteral(" proc=Add "), QStringLiteral(" records=2 "),
              QStringLiteral(" outcome=200 1 of 2 failed")})
            QVERIFY2(line.contains(part), qPrintable(line));
    }
};

KVX_TEST_MAIN_CORE(ServerHttpTest)
#include "tst_server_http.moc"
