// kvx-exchange-server as a program: its command line, its printed address and log, seeding
// only an empty store, and a document killed mid-import being in the store entirely or not
// at all.
#include "http_wait.h"
#include "server_fixture.h"
#include "test_main.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

using namespace kvx;
using namespace kvx::test;
using namespace Qt::StringLiterals;

namespace {

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

QString customers(int count) {
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

class ServerProcessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
                "M6Kvx/import.asp", importDocument("customer", "Add", customers(12000)), [&] {
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
            const HttpResult result =
                server.post("M6Kvx/import.asp", importDocument("customer", "Add", customers(500)));
            QCOMPARE(outcomes(XmlDocument::fromBytes(result.body)).size(), 500);
            server.killHard();
        }
        QCOMPARE(recordCount(storePath, "K%"), 500);
    }
};

KVX_TEST_MAIN_CORE(ServerProcessTest)
#include "tst_server_process.moc"
