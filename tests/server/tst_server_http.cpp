// The exchange pages over real HTTP: paths, methods and limits, login answers and access to
// imports and queries, and the fault flags. kvx-exchange-server as a program: its command
// line, its printed address and log, seeding only an empty store, and a document killed
// mid-import being in the store entirely or not at all.
#include "http_wait.h"
#include "server_fixture.h"
#include "test_main.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

using namespace kvx;
using namespace kvx::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray customerImport(const QString& code, const QString& sender = u"001"_s,
                          const Credentials& credentials = {}) {
    return importDocument("customer", "Add", u"<customer><code>%1</code></customer>"_s.arg(code),
                          {}, sender, credentials);
}

int customers(ServerFixture& server) {
    return server.service().records().count(u"customer"_s);
}

const QString kServer = QStringLiteral(KVX_SERVER_EXE);

// The server program on a free port with the store `data`; its address as it printed it.
class ServerProcess {
public:
    explicit ServerProcess(const QString& data, const QStringList& more = {}) {
        m_process.start(kServer,
                        QStringList{u"--listen"_s, u"127.0.0.1:0"_s, u"--data"_s, data} + more);
        static const QRegularExpression line(u"^listening on (http://127\\.0\\.0\\.1:\\d+/)$"_s);
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(20000))
            out += m_process.readAllStandardOutput();
        m_url = line.match(QString::fromUtf8(out).trimmed()).captured(1);
    }
    ~ServerProcess() { killHard(); }

    // `cancel`, asked while the request waits, drops it by answering true.
    HttpResult post(const QString& page, const QByteArray& body,
                    const std::function<bool()>& cancel = {}) {
        HttpClient http;
        HttpRequest* request = http.post(m_url + page, body, HttpClient::Limit::Login);
        if (cancel)
            QObject::connect(request, &HttpRequest::waiting, request, [request, cancel] {
                if (cancel())
                    request->cancel();
            });
        return waitFor(request);
    }
    QString url() const { return m_url; }
    QByteArray readStderr() { return m_process.readAllStandardError(); }
    void killHard() {
        m_process.kill(); // SIGKILL: no chance to finish anything
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    QString m_url;
};

QString customerRecords(int count) {
    QString records;
    for (int i = 0; i < count; ++i)
        records += u"<customer><code>K%1</code><name>批量客户%1</name><class>01</class>"
                   "<devdate>2024-01-01</devdate></customer>"_s.arg(i, 6, 10, QLatin1Char('0'));
    return records;
}

// Records whose key is like `pattern` after an integrity check of the store; -1 when the
// check fails.
int recordCount(const QString& storePath, const QString& pattern) {
    StoreDatabase store;
    QSqlQuery query(store.open(storePath) ? store.database() : QSqlDatabase());
    if (!query.exec(u"PRAGMA integrity_check"_s) || !query.next() ||
        query.value(0).toString() != "ok"_L1)
        return -1;
    query.prepare(u"SELECT COUNT(*) FROM records WHERE record_key LIKE ?"_s);
    query.addBindValue(pattern);
    return query.exec() && query.next() ? query.value(0).toInt() : -1;
}

} // namespace

class ServerHttpTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every row on a server below "kvx" that takes bodies of up to 4096 bytes.
    void requestsAreRoutedAndChecked_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        auto row = [](const char* tag, const char* page, const QByteArray& body, int status,
                      const char* text) {
            QTest::newRow(tag) << QString(page) << body << status << QString(text);
        };
        const char* login = "kvx/M6KVX/login.asp";
        const char* import = "kvx/M6Kvx/import.asp";
        const QByteArray opinfo = "<opinfo operator='demo' pwd='x' date='d'/>";
        row("as the console spells it", login, loginRequest(), 200, "<?xml");
        row("other letter case", "KVX/m6kvx/LOGIN.ASP", loginRequest(), 200, "<?xml");
        row("base path left out", "M6KVX/login.asp", loginRequest(), 404, "找不到页面");
        row("unknown page", "kvx/M6KVX/logout.asp", loginRequest(), 404, "找不到页面");
        row("dot is no wildcard", "kvx/M6KVX/loginXasp", loginRequest(), 404, "找不到页面");
        row("nested below", "kvx/x/M6KVX/login.asp", loginRequest(), 404, "找不到页面");
        row("login not XML", login, "uid=demo", 400, "请求内容不是XML文档");
        row("login other root", login, "<login uid='demo'/>", 400, "登录文档的根元素不是opinfo");
        row("import not XML", import, "<ztinterface", 400, "请求内容不是XML文档");
        row("import other root", import, "<interface roottag='customer'>" + opinfo + "</interface>",
            400, "文档的根元素是interface，不是ztinterface");
        row("blank roottag", import, "<ztinterface roottag=' '>" + opinfo + "</ztinterface>", 400,
            "文档缺少roottag属性");
        row("no opinfo", import, "<ztinterface roottag='customer'/>", 400, "文档缺少opinfo元素");
        row("opinfo not a child of the root", import,
            "<ztinterface roottag='customer'><customer>" + opinfo + "</customer></ztinterface>",
            400, "文档缺少opinfo元素");
        row("body too large", import, customerImport(QString(5000, u'x')), 413,
            "请求内容超过上限（4096字节）");
    }
    void requestsAreRoutedAndChecked() {
        QFETCH(QString, page);
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        HttpSettings settings;
        settings.basePath = "kvx";
        settings.maxBodyBytes = 4096;
        ServerFixture server(settings);
        const HttpResult result = server.post(page, body);
        QTEST(result.status, "status");
        QVERIFY2(QString::fromUtf8(result.body).startsWith(text), result.body.constData());
        QCOMPARE(customers(server), 0);
    }

    // Requests a client library would not send, on their own connection: refused before the
    // credentials (which are wrong here) or before the body, and meanwhile other clients are
    // served. A server taking bodies up to 100000 bytes and heads up to 2048, idle for 0.5 s.
    void hostileRequestsAreRefused_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // 0: no answer
        QTest::addColumn<QString>("text");
        auto post = [](const char* page, const QByteArray& body, const QByteArray& headers = {}) {
            return "POST /" + QByteArray(page) +
                   " HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(body.size()) +
                   "\r\n" + headers + "\r\n" + body;
        };
        const char* login = "M6KVX/login.asp";
        const char* import = "M6Kvx/import.asp";
        const QByteArray entity = "文档类型声明中声明了实体";
        const QByteArray opinfo = "<opinfo operator='demo' pwd='wrong'/>";
        // Both pages read with the parser that refuses declarations; which it refuses is its own.
        QTest::newRow("entity in login")
            << post(login, "<!DOCTYPE opinfo [<!ENTITY co 'ACME'>]><opinfo uid='&co;'/>") << 400
            << u"请求文档被拒绝："_s + entity + u"“co”"_s;
        QTest::newRow("external entity in import")
            << post(import, "<!DOCTYPE ztinterface [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                            "<ztinterface roottag='customer'><customer><code>&x;</code>"
                            "</customer>" +
                                opinfo + "</ztinterface>")
            << 400 << u"请求文档被拒绝："_s + entity + u"“x”"_s;
        QTest::newRow("declared length over the limit")
            << QByteArray("POST /M6Kvx/import.asp HTTP/1.1\r\nContent-Length: 300000000\r\n\r\n")
            << 413 << u"请求内容超过上限（100000字节）。"_s;
        QTest::newRow("header too large")
            << post(login, loginRequest(), "X-Filler: " + QByteArray(3000, 'x') + "\r\n") << 431
            << u"请求头超过上限（2048字节）。"_s;
        QTest::newRow("no Content-Length")
            << QByteArray("POST /M6KVX/login.asp HTTP/1.1\r\n\r\n") + loginRequest() << 411
            << u"请求缺少Content-Length"_s;
        QTest::newRow("nonsensical Content-Length")
            << QByteArray("POST /M6KVX/login.asp HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n") << 400
            << u"请求头Content-Length的值“12abc”不是有效的长度。"_s;
        QTest::newRow("chunked body")
            << QByteArray("POST /M6KVX/login.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "3\r\n<a/\r\n0\r\n\r\n")
            << 411 << u"请求须以Content-Length说明内容长度"_s;
        QTest::newRow("HEAD gets no body")
            << QByteArray("HEAD /M6Kvx/import.asp HTTP/1.1\r\nHost: x\r\n\r\n") << 405 << QString();
        QTest::newRow("idle connection") << QByteArray() << 0 << QString();
        QTest::newRow("request left half sent")
            << QByteArray("POST /M6KVX/login.asp HTTP/1.1\r\nContent-Length: 10\r\n\r\n<op") << 408
            << u"请求在0.5秒内没有发完，连接已关闭。"_s;
    }
    void hostileRequestsAreRefused() {
        QFETCH(QByteArray, request);
        QFETCH(QString, text);
        HttpSettings settings;
        settings.maxBodyBytes = 100000;
        settings.maxHeaderBytes = 2048;
        settings.idleTimeoutMs = 500;
        ServerFixture server(settings);
        RawConnection hostile(server.port(), request);
        QCOMPARE(server.login(loginRequest()).status, 200);
        QVERIFY(hostile.wait()); // an answer, or the connection closed
        QTEST(hostile.status(), "status");
        if (text.isEmpty())
            QCOMPARE(hostile.body(), QByteArray());
        else
            QVERIFY2(QString::fromUtf8(hostile.body()).startsWith(text),
                     hostile.body().constData());
        QCOMPARE(customers(server), 0);
    }

    void otherMethodsAreRefused() {
        ServerFixture server;
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(
            manager.get(QNetworkRequest(QUrl(server.baseUrl() + u"m6kvx/import.asp"_s))));
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 405);
        QCOMPARE(reply->rawHeader("Allow"), "POST"_ba);
    }

    // Rights in the order configure, execute, mail; a refusal carries no rights items.
    // Imports and queries name their operator and sender code themselves, are checked alike
    // and need the right to execute.
    void accessIsCheckedAlike_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("dsc");
        QTest::addColumn<QString>("rights");
        auto row = [](const char* tag, const char* user, const char* password, const char* sender,
                      const char* dsc, const char* rights) {
            QTest::newRow(tag) << QString(user) << QString(password) << QString(sender)
                               << QString(dsc) << QString(rights);
        };
        row("every right, padded sender", "demo", "demo", " 002 ", "登录成功", "111");
        row("execute only", "viewer", "viewer", "001", "登录成功", "010");
        row("configure only", "clerk", "clerk", "001", "登录成功", "100");
        row("unknown user", "nobody", "demo", "001", "用户“nobody”不存在！", "");
        row("user in other case", "DEMO", "demo", "001", "用户“DEMO”不存在！", "");
        row("empty user", "", "demo", "001", "用户名不能为空！", "");
        row("wrong password", "demo", "Demo", "001", "用户“demo”的密码不正确！", "");
        row("unknown sender", "demo", "demo", "003", "注册号“003”不存在！", "");
        row("disabled sender", "demo", "demo", "009", "注册号“009”已停用！", "");
        row("no sender", "demo", "demo", " ", "注册号不能为空！", "");
    }
    void accessIsCheckedAlike() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, sender);
        QFETCH(QString, dsc);
        QFETCH(QString, rights);
        ServerFixture server;
        const XmlDocument answer =
            XmlDocument::fromBytes(server.login(loginRequest(user, password, sender)).body);
        QCOMPARE(answer.root().firstChildElement().attribute(u"succeed"_s),
                 rights.isEmpty() ? u"1"_s : u"0"_s);
        QCOMPARE(answer.root().firstChildElement().attribute(u"dsc"_s), dsc);
        QString held;
        for (const QString& key : {u"KV020202"_s, u"KV0203"_s, u"KV0301"_s})
            held += answer.root()
                        .selectFirst(u"item[@key=$k]"_s, {{u"k"_s, key}})
                        .attribute(u"succeed"_s);
        QCOMPARE(held, rights);

        const QString refusal = rights.isEmpty() ? dsc
                                : rights[1] == u'0'
                                    ? u"用户“%1”没有执行导入导出的权限！"_s.arg(user)
                                    : QString();
        const Credentials credentials{user, password};
        const XmlDocument imported =
            server.exchangeDocument(customerImport("C1", sender, credentials));
        QCOMPARE(outcomes(imported).value(0),
                 refusal.isEmpty() ? u"0 C1 已添加"_s : u"1 C1 "_s + refusal);
        QCOMPARE(customers(server), refusal.isEmpty() ? 1 : 0);
        const HttpResult query =
            server.exchange(queryEnvelope("customer", {}, sender, "n", credentials));
        QCOMPARE(query.status, refusal.isEmpty() ? 200 : 403);
        if (!refusal.isEmpty())
            QCOMPARE(QString::fromUtf8(query.body), refusal);
    }

    // A client that gave up before its late answer must not take the server down.
    void delayAnswersLate() {
        HttpSettings settings;
        settings.delayMs = 300;
        ServerFixture server(settings);
        {
            HttpClient impatient;
            impatient.setTimeoutMilliseconds(50);
            QVERIFY(!postAndWait(impatient, server.baseUrl() + u"M6KVX/login.asp"_s, loginRequest())
                         .answered());
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(server.login(loginRequest()).status, 200);
        QVERIFY(clock.elapsed() >= 300);
    }

    // Answers to imports of C1 to C4 with a login after the first ("!": a 200 that is not XML).
    // Logins do not count, and a faulted import stores nothing.
    void faultsHitEveryNthExchange_data() {
        QTest::addColumn<int>("failEvery");
        QTest::addColumn<int>("garbageEvery");
        QTest::addColumn<QString>("answers");
        QTest::newRow("fail status") << 2 << 0 << "200 200 503 200 503";
        QTest::newRow("garbage") << 0 << 2 << "200 200 200! 200 200!";
    }
    void faultsHitEveryNthExchange() {
        QFETCH(int, failEvery);
        QFETCH(int, garbageEvery);
        HttpSettings settings;
        settings.failStatus = 503;
        settings.failEvery = failEvery;
        settings.garbageEvery = garbageEvery;
        ServerFixture server(settings);
        auto describe = [](const HttpResult& result) {
            const bool garbage =
                result.status == 200 && XmlDocument::fromBytes(result.body).isNull();
            return QString::number(result.status) + (garbage ? u"!"_s : QString());
        };
        QStringList answers{describe(server.exchange(customerImport("C1"))),
                            describe(server.login(loginRequest()))};
        for (const QString& code : {u"C2"_s, u"C3"_s, u"C4"_s})
            answers.append(describe(server.exchange(customerImport(code))));
        QTEST(answers.join(u' '), "answers");
        QCOMPARE(customers(server), 2);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        auto row = [](const char* tag, const QStringList& arguments, int exitCode,
                      const char* message) {
            QTest::newRow(tag) << arguments << exitCode << QString(message);
        };
        row("help", {"--help"}, 0, "--hold-commit-ms");
        row("listen without port", {"--listen", "127.0.0.1"}, 2, "--listen wants HOST:PORT");
        row("listen with bad host", {"--listen", "nohost:80"}, 2, "--listen wants HOST:PORT");
        row("port too large", {"--listen", "127.0.0.1:70000"}, 2, "--listen wants HOST:PORT");
        row("fail status without every", {"--fail-status", "500"}, 2, "--fail-status wants");
        row("fail status not a failure", {"--fail-status", "200:2"}, 2, "--fail-status wants");
        row("garbage zero", {"--garbage", "0"}, 2, "--garbage wants a positive number");
        row("max body words", {"--max-body", "lots"}, 2, "--max-body wants a size");
        row("idle timeout zero", {"--idle-timeout", "0"}, 2, "--idle-timeout wants");
        row("unknown option", {"--frobnicate"}, 2, "Unknown option");
        row("stray argument", {"store.sqlite"}, 2, "Unexpected argument");
        row("store cannot be opened",
            {"--listen", "127.0.0.1:0", "--data", "/nonexistent/dir/store.sqlite"}, 1,
            "cannot open the store");
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess process;
        process.start(kServer, arguments);
        QVERIFY(process.waitForFinished(20000));
        QTEST(process.exitCode(), "exitCode");
        const QString output =
            QString::fromUtf8(process.readAll() + process.readAllStandardError());
        QVERIFY2(output.contains(message), qPrintable(output));
    }

    // Requests are logged on stderr; seeding fills only an empty store, so what operators
    // changed stays changed.
    void demoSeedsOnlyAnEmptyStore() {
        QTemporaryDir dir;
        const QString storePath = dir.filePath(u"store.sqlite"_s);
        {
            ServerProcess server(storePath, {"--demo"});
            QVERIFY(!server.url().isEmpty());
            const HttpResult deleted = server.post(
                "m6kvx/IMPORT.asp",
                importDocument("customer", "Delete", "<customer><code>C006</code></customer>"));
            QCOMPARE(outcomes(XmlDocument::fromBytes(deleted.body)).value(0), u"0 C006 已删除"_s);
            QByteArray log;
            QTRY_VERIFY_WITH_TIMEOUT((log += server.readStderr()).contains("/m6kvx/IMPORT.asp "),
                                     10000);
        }
        ServerProcess again(storePath, {"--demo"});
        QVERIFY(!again.url().isEmpty());
        QCOMPARE(recordCount(storePath, "C006"), 0);
        QCOMPARE(recordCount(storePath, "C007"), 1);
    }

    // Killed while a large document's transaction is open: nothing of it is stored. Killed
    // right after a document was answered: all of it is.
    void killedImportIsAllOrNothing() {
        QTemporaryDir dir;
        const QString storePath = dir.filePath(u"store.sqlite"_s);
        {
            ServerProcess server(storePath, {"--demo", "--hold-commit-ms", "60000"});
            QVERIFY(!server.url().isEmpty());
            const qint64 walBefore = QFileInfo(storePath + u"-wal"_s).size();
            bool killed = false;
            QByteArray log;
            // More records than SQLite's page cache holds, so that pages reach the log file
            // before the commit. Killed once every record is written and the commit waits.
            const HttpResult result = server.post(
                "M6Kvx/import.asp", importDocument("customer", "Add", customerRecords(12000)), [&] {
                    log += server.readStderr();
                    if (log.contains("holding the import transaction open")) {
                        server.killHard();
                        killed = true;
                    }
                    return killed;
                });
            QVERIFY(killed && !result.ok());
            QVERIFY(QFileInfo(storePath + u"-wal"_s).size() > walBefore);
        }
        QCOMPARE(recordCount(storePath, "K%"), 0);
        QCOMPARE(recordCount(storePath, "C006"), 1); // committed before
        {
            ServerProcess server(storePath);
            const HttpResult result = server.post(
                "M6Kvx/import.asp", importDocument("customer", "Add", customerRecords(500)));
            QCOMPARE(outcomes(XmlDocument::fromBytes(result.body)).size(), 500);
            server.killHard();
        }
        QCOMPARE(recordCount(storePath, "K%"), 500);
    }
};

KVX_TEST_MAIN_CORE(ServerHttpTest)
#include "tst_server_http.moc"
