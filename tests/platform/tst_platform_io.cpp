#include "fixture_http_server.h"
#include "platform/app_folder.h"
#include "platform/http_client.h"
#include "platform/password_encryptor.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QElapsedTimer>

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

    // A silent server fails after the timeout; the cancel hook ends the wait sooner.
    void requestsWithoutAnswer() {
        FixtureHttpServer server([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{200, {}, 0, true};
        });
        HttpClient http;
        http.setTimeoutMilliseconds(300);
        const HttpResult timedOut = http.post(server.baseUrl(), "x");
        QCOMPARE(timedOut.outcome, Outcome::Failed);
        QVERIFY(!timedOut.error.isEmpty());
        http.setTimeoutMilliseconds(60000);
        QElapsedTimer clock;
        clock.start();
        const HttpResult cancelled =
            http.post(server.baseUrl(), "x", [&clock] { return clock.elapsed() > 100; });
        QCOMPARE(cancelled.outcome, Outcome::Cancelled);
        for (const char* url : {"ftp://host/M6KVX/login.asp", "http://ho st/", ""})
            QCOMPARE(http.post(url, "x").outcome, Outcome::BadUrl);
    }
};

KVX_TEST_MAIN_CORE(PlatformIoTest)
#include "tst_platform_io.moc"
