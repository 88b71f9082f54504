#include "fixture_http_server.h"
#include "platform/app_folder.h"
#include "platform/http_client.h"
#include "platform/password_encryptor.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>

using namespace kvx;
using test::FixtureHttpServer;

class PlatformIoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resolvesPathsWithoutRegardToCase() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("xml/operation/Dir.xml"), "<r/>");
        AppFolder app(folder.path());
        QCOMPARE(app.resolve(QStringLiteral("\\Xml\\Operation\\dir.xml")),
                 folder.path() + QStringLiteral("/xml/operation/Dir.xml"));
        QCOMPARE(app.resolve(QStringLiteral("\\xml\\operation\\Dir.xml")),
                 folder.path() + QStringLiteral("/xml/operation/Dir.xml"));
        // Missing components keep the spelling asked for.
        QCOMPARE(app.resolve(QStringLiteral("\\XML\\new\\Kvxtemp.xml")),
                 folder.path() + QStringLiteral("/xml/new/Kvxtemp.xml"));
        QCOMPARE(app.displayPath(QStringLiteral("\\xml.ini")),
                 QDir::toNativeSeparators(folder.path() + QStringLiteral("/xml.ini")));
    }

    void appFolderFromEnvironment() {
        qputenv("KVX_APP_DIR", "/tmp/kvx-app-folder-test");
        QCOMPARE(AppFolder::fromEnvironment().root(), QStringLiteral("/tmp/kvx-app-folder-test"));
        qunsetenv("KVX_APP_DIR");
        QCOMPARE(AppFolder::fromEnvironment().root(), QCoreApplication::applicationDirPath());
    }

    void makesReadOnlyFileWritable() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("ro.ini"), "x");
        const QString path = folder.filePath(QStringLiteral("ro.ini"));
        QFile::setPermissions(path, QFile::ReadOwner);
        QVERIFY(AppFolder::makeWritable(path));
        QVERIFY(QFile::permissions(path) & QFile::WriteOwner);
        QVERIFY(AppFolder::writeAtomically(path, "y"));
        QCOMPARE(folder.read(QStringLiteral("ro.ini")), QByteArray("y"));
        QVERIFY(!AppFolder::makeWritable(folder.filePath(QStringLiteral("none"))));
    }

    void encryptorIsDeterministicHex() {
        PasswordEncryptor e;
        QCOMPARE(e.ascPwd(QStringLiteral("demo")), e.ascPwd(QStringLiteral("demo")));
        QVERIFY(e.ascPwd(QStringLiteral("demo")) != e.ascPwd(QStringLiteral("demo ")));
        QCOMPARE(e.ascPwd(QString()).size(), 64);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(e.ascPwd(QStringLiteral("密码"))).hasMatch());
    }

    void postsBodyAndReadsAnswer() {
        FixtureHttpServer server([](const FixtureHttpServer::Request& r) {
            return FixtureHttpServer::Response{r.path.endsWith(QLatin1String("ok")) ? 200 : 500,
                                               "<a>" + r.body + "</a>"};
        });
        HttpClient http;
        HttpResult ok = http.post(server.baseUrl() + QStringLiteral("ok"), "x");
        QVERIFY(ok.ok());
        QCOMPARE(ok.body, QByteArray("<a>x</a>"));
        QCOMPARE(server.requests().last().method, QByteArray("POST"));
        HttpResult failed = http.post(server.baseUrl() + QStringLiteral("bad"), "y");
        QVERIFY(failed.answered());
        QCOMPARE(failed.status, 500);
        QCOMPARE(failed.body, QByteArray("<a>y</a>"));
    }

    void refusedConnectionIsAFailedRequest() {
        quint16 port;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        HttpClient http;
        HttpResult result = http.post(QStringLiteral("http://127.0.0.1:%1/x").arg(port), "x");
        QCOMPARE(result.outcome, HttpResult::Outcome::Failed);
        QVERIFY(result.body.isEmpty());
    }

    void silentServerTimesOut() {
        FixtureHttpServer server([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{200, {}, 0, true};
        });
        HttpClient http;
        http.setTimeoutMilliseconds(300);
        HttpResult result = http.post(server.baseUrl(), "x");
        QCOMPARE(result.outcome, HttpResult::Outcome::Failed);
        QVERIFY(!result.error.isEmpty());
    }

    void cancelHookEndsTheWait() {
        FixtureHttpServer server([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{200, "<late/>", 5000};
        });
        HttpClient http;
        QElapsedTimer clock;
        clock.start();
        HttpResult result = http.post(server.baseUrl(), "x", [&clock] { return clock.elapsed() > 200; });
        QCOMPARE(result.outcome, HttpResult::Outcome::Cancelled);
    }

    void rejectsUnrequestableAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("no scheme") << QStringLiteral("server/M6KVX/login.asp");
        QTest::newRow("ftp") << QStringLiteral("ftp://host/M6KVX/login.asp");
        QTest::newRow("blank inside") << QStringLiteral("http://ho st/");
        QTest::newRow("empty") << QString();
    }
    void rejectsUnrequestableAddresses() {
        QFETCH(QString, url);
        HttpClient http;
        QCOMPARE(http.post(url, "x").outcome, HttpResult::Outcome::BadUrl);
    }
};

KVX_TEST_MAIN_CORE(PlatformIoTest)
#include "tst_platform_io.moc"
