#include "fixture_http_server.h"
#include "platform/app_folder.h"
#include "platform/http_client.h"
#include "platform/password_encryptor.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>

using namespace kvx;
using test::FixtureHttpServer;
using Outcome = HttpResult::Outcome;

class PlatformIoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resolvesPathsWithoutRegardToCase() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("xml/operation/Dir.xml"), "<r/>");
        AppFolder app(folder.path());
        QCOMPARE(app.resolve(QStringLiteral("\\Xml\\Operation\\dir.xml")),
                 folder.path() + QStringLiteral("/xml/operation/Dir.xml"));
        // Missing components keep the spelling asked for.
        QCOMPARE(app.resolve(QStringLiteral("\\XML\\new\\Kvxtemp.xml")),
                 folder.path() + QStringLiteral("/xml/new/Kvxtemp.xml"));
        QCOMPARE(app.displayPath(QStringLiteral("\\xml.ini")),
                 QDir::toNativeSeparators(folder.path() + QStringLiteral("/xml.ini")));
    }

    void encryptorIsDeterministicHex() {
        PasswordEncryptor e;
        QCOMPARE(e.ascPwd(QStringLiteral("demo")), e.ascPwd(QStringLiteral("demo")));
        QVERIFY(e.ascPwd(QStringLiteral("demo")) != e.ascPwd(QStringLiteral("demo ")));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(e.ascPwd(QStringLiteral("密码")))
                    .hasMatch());
    }

    // Requests that get no answer, each for its own reason.
    void requestsWithoutAnswer_data() {
        QTest::addColumn<QString>("target"); // "closed", "silent", "late" or a literal address
        QTest::addColumn<int>("outcome");
        QTest::newRow("connection refused") << "closed" << int(Outcome::Failed);
        QTest::newRow("timeout") << "silent" << int(Outcome::Failed);
        QTest::newRow("cancel hook") << "late" << int(Outcome::Cancelled);
        QTest::newRow("no scheme") << "server/M6KVX/login.asp" << int(Outcome::BadUrl);
        QTest::newRow("ftp") << "ftp://host/M6KVX/login.asp" << int(Outcome::BadUrl);
        QTest::newRow("blank inside") << "http://ho st/" << int(Outcome::BadUrl);
        QTest::newRow("empty") << "" << int(Outcome::BadUrl);
    }
    void requestsWithoutAnswer() {
        QFETCH(QString, target);
        QFETCH(int, outcome);
        FixtureHttpServer server([target](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{200, "<late/>", 5000, target == "silent"};
        });
        QString url = target;
        if (target == "closed") {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            url = QStringLiteral("http://127.0.0.1:%1/x").arg(probe.serverPort());
        } else if (target == "silent" || target == "late") {
            url = server.baseUrl();
        }
        HttpClient http;
        http.setTimeoutMilliseconds(300);
        QElapsedTimer clock;
        clock.start();
        const HttpResult result = http.post(
            url, "x", [&clock, target] { return target == "late" && clock.elapsed() > 100; });
        QCOMPARE(int(result.outcome), outcome);
        QVERIFY(result.body.isEmpty());
        if (result.outcome == Outcome::Failed)
            QVERIFY(!result.error.isEmpty());
    }
};

KVX_TEST_MAIN_CORE(PlatformIoTest)
#include "tst_platform_io.moc"
