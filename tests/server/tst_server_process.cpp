// kvx-exchange-server as a program: its command line, its printed address, seeding only an
// empty store, and a document killed mid-import being in the store entirely or not at all.
#include "platform/http_client.h"
#include "server/record_table.h"
#include "server/store_database.h"
#include "server_fixture.h"
#include "test_main.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace kvx;
using namespace kvx::test;

namespace {

// The server program, started with its arguments; its address as it printed it.
class ServerProcess {
public:
    explicit ServerProcess(const QStringList& arguments) {
        m_process.start(QStringLiteral(KVX_SERVER_EXE), arguments);
        if (!m_process.waitForStarted(10000))
            return;
        static const QRegularExpression line(
            QStringLiteral("^listening on (http://127\\.0\\.0\\.1:(\\d+)/)$"));
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(20000))
            out += m_process.readAllStandardOutput();
        const auto match = line.match(QString::fromUtf8(out).trimmed());
        if (match.hasMatch())
            m_url = match.captured(1);
    }
    ~ServerProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    QString url() const { return m_url; }
    QProcess& process() { return m_process; }
    void killHard() {
        m_process.kill(); // SIGKILL: no chance to finish anything
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    QString m_url;
};

struct RunResult {
    int exitCode;
    QString out;
    QString err;
};

RunResult run(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(KVX_SERVER_EXE), arguments);
    process.waitForFinished(20000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString bigImport(int count) {
    QString records;
    records.reserve(count * 120);
    for (int i = 0; i < count; ++i)
        records +=
            QStringLiteral("<customer><code>K%1</code><name>批量客户%1</name><class>01</class>"
                           "<devdate>2024-01-01</devdate></customer>")
                .arg(i, 6, 10, QLatin1Char('0'));
    return records;
}

qint64 fileSize(const QString& path) {
    return QFileInfo(path).size();
}

} // namespace

class ServerProcessTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpNamesTheOptions() {
        const RunResult help = run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        for (const char* option : {"--listen", "--data", "--demo", "--max-body", "--delay-ms",
                                   "--fail-status", "--garbage", "--base-path"})
            QVERIFY2(help.out.contains(option), qPrintable(option));
    }

    void badCommandLinesAreRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("listen without port")
            << QStringList{"--listen", "127.0.0.1"} << "--listen wants HOST:PORT";
        QTest::newRow("listen with bad host")
            << QStringList{"--listen", "nohost:80"} << "--listen wants HOST:PORT";
        QTest::newRow("port too large")
            << QStringList{"--listen", "127.0.0.1:70000"} << "--listen wants HOST:PORT";
        QTest::newRow("fail status without every")
            << QStringList{"--fail-status", "500"} << "--fail-status wants CODE:EVERY";
        QTest::newRow("fail status not a failure")
            << QStringList{"--fail-status", "200:2"} << "--fail-status wants CODE:EVERY";
        QTest::newRow("garbage zero")
            << QStringList{"--garbage", "0"} << "--garbage wants a positive number";
        QTest::newRow("max body words")
            << QStringList{"--max-body", "lots"} << "--max-body wants a size";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "Unknown option";
        QTest::newRow("stray argument") << QStringList{"store.sqlite"} << "Unexpected argument";
    }
    void badCommandLinesAreRefused() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        const RunResult result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(complaint), qPrintable(result.err));
    }

    void unwritableStoreIsReported() {
        const RunResult result =
            run({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                 QStringLiteral("--data"), QStringLiteral("/nonexistent/dir/store.sqlite")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(QStringLiteral("cannot open the store")));
    }

    void portZeroIsPrintedAndLogged() {
        QTemporaryDir dir;
        ServerProcess server({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                              QStringLiteral("--demo"), QStringLiteral("--data"),
                              dir.filePath(QStringLiteral("store.sqlite"))});
        QVERIFY(!server.url().isEmpty());
        HttpClient http;
        const HttpResult login = http.post(
            server.url() + QStringLiteral("m6kvx/login.asp"),
            loginRequest(QStringLiteral("demo"), QStringLiteral("demo"), QStringLiteral("001")));
        QCOMPARE(login.status, 200);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += server.process().readAllStandardError())
                                     .contains("/m6kvx/login.asp operator=demo sender=001"),
                                 10000);
    }

    // Seeding fills only an empty store: what operators changed stays changed.
    void demoSeedsOnlyAnEmptyStore() {
        QTemporaryDir dir;
        const QStringList arguments{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                    QStringLiteral("--demo"), QStringLiteral("--data"),
                                    dir.filePath(QStringLiteral("store.sqlite"))};
        {
            ServerProcess server(arguments);
            HttpClient http;
            const HttpResult deleted =
                http.post(server.url() + QStringLiteral("M6Kvx/import.asp"),
                          importDocument(QStringLiteral("customer"), QStringLiteral("Delete"),
                                         QStringLiteral("<customer><code>C006</code></customer>")));
            QCOMPARE(resultItems(XmlDocument::fromBytes(deleted.body)).value(0).succeed,
                     QStringLiteral("0"));
        }
        ServerProcess again(arguments);
        QVERIFY(!again.url().isEmpty());
        StoreDatabase store;
        QVERIFY(store.open(dir.filePath(QStringLiteral("store.sqlite"))));
        RecordTable records(store);
        QVERIFY(!records.find(QStringLiteral("customer"), QStringLiteral("C006")));
        QVERIFY(records.find(QStringLiteral("customer"), QStringLiteral("C007")));
    }

    // The server is killed while a large document's transaction is open, then again right
    // after a document was answered: the first leaves no record of its document, the second
    // keeps every one.
    void killedImportIsAllOrNothing() {
        QTemporaryDir dir;
        const QString storePath = dir.filePath(QStringLiteral("store.sqlite"));
        const int committed = 500;
        // More records than SQLite's page cache holds, so that pages reach the log file
        // before the commit.
        const QByteArray document =
            importDocument(QStringLiteral("customer"), QStringLiteral("Add"), bigImport(12000));
        {
            ServerProcess server({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                  QStringLiteral("--demo"), QStringLiteral("--data"), storePath,
                                  QStringLiteral("--hold-commit-ms"), QStringLiteral("60000")});
            QVERIFY(!server.url().isEmpty());
            const qint64 walBefore = fileSize(storePath + QStringLiteral("-wal"));
            bool killed = false;
            QByteArray log;
            HttpClient http;
            // The cancel hook runs while the client waits: kill once every record is written
            // and the transaction waits to be committed.
            const HttpResult result =
                http.post(server.url() + QStringLiteral("M6Kvx/import.asp"), document, [&] {
                    log += server.process().readAllStandardError();
                    if (log.contains("holding the import transaction open")) {
                        server.killHard();
                        killed = true;
                    }
                    return killed;
                });
            QVERIFY(killed);
            QVERIFY(!result.ok());
            // More than the page cache holds: part of the document had reached the file.
            QVERIFY(fileSize(storePath + QStringLiteral("-wal")) > walBefore);
        }
        {
            StoreDatabase store;
            QVERIFY(store.open(storePath));
            QSqlQuery check(store.database());
            QVERIFY(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
            QCOMPARE(check.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(check.exec(QStringLiteral(
                        "SELECT COUNT(*) FROM records WHERE record_key LIKE 'K%'")) &&
                    check.next());
            QCOMPARE(check.value(0).toInt(), 0);
            QVERIFY(RecordTable(store).find(QStringLiteral("customer"), QStringLiteral("C006")));
        }
        {
            ServerProcess server({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                  QStringLiteral("--data"), storePath});
            HttpClient http;
            const HttpResult result =
                http.post(server.url() + QStringLiteral("M6Kvx/import.asp"),
                          importDocument(QStringLiteral("customer"), QStringLiteral("Add"),
                                         bigImport(committed)));
            QCOMPARE(result.status, 200);
            QCOMPARE(resultItems(XmlDocument::fromBytes(result.body)).size(), committed);
            server.killHard();
        }
        StoreDatabase store;
        QVERIFY(store.open(storePath));
        QSqlQuery check(store.database());
        QVERIFY(
            check.exec(QStringLiteral("SELECT COUNT(*) FROM records WHERE record_key LIKE 'K%'")) &&
            check.next());
        QCOMPARE(check.value(0).toInt(), committed);
    }
};

KVX_TEST_MAIN_CORE(ServerProcessTest)
#include "tst_server_process.moc"
