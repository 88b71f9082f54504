#include "app/login_context.h"
#include "fixture_http_server.h"
#include "login/frm_http_login.h"
#include "platform/xml_document.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

using namespace kvx;
using test::FixtureHttpServer;
using test::RecordingPrompter;
using test::TestFolder;
using Response = FixtureHttpServer::Response;

namespace {

const QString kTitle = QStringLiteral("KVX管理系统");
const QString kConnectionFailed = QStringLiteral("登录失败,请检查网络连接(服务器需要IIS支持)！");

QByteArray successAnswer(const QString& configure, const QString& execute) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?><login>"
                          "<result succeed=\"0\" dsc=\"\"/>"
                          "<item key=\"KV020202\" succeed=\"%1\"/>"
                          "<item key=\"KV0203\" succeed=\"%2\"/></login>")
        .arg(configure, execute)
        .toUtf8();
}

// An address on 127.0.0.1 where nothing listens.
QString closedAddress() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/").arg(port);
}

struct Fixture {
    explicit Fixture(FixtureHttpServer::Handler handler = {})
        : server(std::move(handler)) {}

    TestFolder folder{TestFolder::Content::Empty};
    test::TestServices s{folder.path()};
    LoginContext context;
    FixtureHttpServer server;

    template <typename T> static T* child(QWidget& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    void fill(FrmHttpLogin& dialog, const QString& address, const QString& user,
              const QString& password, const QString& sender) {
        child<QLineEdit>(dialog, "txtHttpServer")->setText(address);
        child<QLineEdit>(dialog, "txtUser")->setText(user);
        child<QLineEdit>(dialog, "txtPwd")->setText(password);
        child<QLineEdit>(dialog, "txtSender")->setText(sender);
    }

    // Shows the dialog, fills it and presses the login button; returns when the attempt is over.
    void login(FrmHttpLogin& dialog, const QString& address, const QString& sender = "001",
               const QString& user = "demo", const QString& password = "demo") {
        dialog.show();
        fill(dialog, address, user, password, sender);
        child<QPushButton>(dialog, "cmdOk")->click();
    }

    static void verifyIdle(FrmHttpLogin& dialog) {
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.isBusy());
        QVERIFY(child<QPushButton>(dialog, "cmdOk")->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "cmdExit")->isVisible());
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isVisible());
        QVERIFY(!child<QProgressBar>(dialog, "aniPlay")->isVisible());
        QVERIFY(!dialog.loginSucceeded());
    }

    void verifyOneMessage(const QString& text, Prompter::Icon icon) const {
        QCOMPARE(s.prompter.records().size(), 1);
        QCOMPARE(s.prompter.last().kind, RecordingPrompter::Kind::Message);
        QCOMPARE(s.prompter.last().text, text);
        QCOMPARE(s.prompter.last().title, kTitle);
        QCOMPARE(s.prompter.last().icon, icon);
    }

    // A context as an earlier login left it.
    void loggedInBefore() {
        context.acceptLogin({"http://old/", "old", "oldpwd", "2020-01-01"}, "OLD", true, true);
        QVERIFY(
            (LoginSettings{"http://old/", "old", "oldpwd", "2020-01-01"}.save(s.services.folder)));
    }
    void verifyContextUnchanged() const {
        QCOMPARE(context.senderCode, QString("OLD"));
        QVERIFY(context.canConfigure);
        QVERIFY(context.canExecute);
        QCOMPARE(context.persistent.serverUrl, QString("http://old/"));
        QCOMPARE(folder.read("LoginWan.ini"),
                 QByteArray("\"http://old/\"\r\n\"old\"\r\n\"oldpwd\"\r\n\"2020-01-01\"\r\n"));
    }
};

} // namespace

class LoginDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithItsControls() {
        Fixture f;
        FrmHttpLogin dialog(f.s.services, f.context);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("远程登录"));
        const QList<QPair<const char*, QString>> captions = {{"Label1", "远程服务器："},
                                                             {"Label2", "用户名："},
                                                             {"Label3", "密码："},
                                                             {"Label4", "登录日期："},
                                                             {"Label5", "注册号"}};
        for (const auto& [name, caption] : captions)
            QCOMPARE(Fixture::child<QLabel>(dialog, name)->text(), caption);
        QCOMPARE(Fixture::child<QPushButton>(dialog, "cmdOk")->text(), QString("登录(&L)"));
        QVERIFY(Fixture::child<QPushButton>(dialog, "cmdOk")->isDefault());
        QCOMPARE(Fixture::child<QPushButton>(dialog, "cmdExit")->text(), QString("退出"));
        QCOMPARE(Fixture::child<QPushButton>(dialog, "cmdCancel")->text(), QString("取消(&C)"));
        QCOMPARE(Fixture::child<QLineEdit>(dialog, "txtPwd")->echoMode(), QLineEdit::Password);
        QCOMPARE(Fixture::child<QDateEdit>(dialog, "dpLogin")->date(), f.s.clock.today());
        QVERIFY(Fixture::child<QLineEdit>(dialog, "txtHttpServer")->text().startsWith("http://"));
        Fixture::verifyIdle(dialog);
    }

    void successSavesTheLoginAndFillsTheContext() {
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{200, successAnswer("0", "1")};
        });
        FrmHttpLogin dialog(f.s.services, f.context);
        Fixture::child<QDateEdit>(dialog, "dpLogin")->setDate(QDate(2026, 1, 2));
        f.login(dialog, f.server.baseUrl(), "  001 ", " demo ", " secret ");

        QVERIFY(f.s.prompter.records().isEmpty());
        QVERIFY(dialog.loginSucceeded());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());

        QCOMPARE(f.server.requests().size(), 1);
        const FixtureHttpServer::Request request = f.server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QString("/M6KVX/login.asp"));
        const XmlDocument sent = XmlDocument::fromBytes(request.body);
        const QString encrypted = f.s.services.encryptor.ascPwd("secret");
        QCOMPARE(sent.root().attribute("uid"), QString("demo"));
        QCOMPARE(sent.root().attribute("pwd"), encrypted);
        QCOMPARE(sent.root().attribute("date"), QString("2026-01-02"));
        QCOMPARE(sent.root().attribute("sender"), QString("001"));

        // The file keeps exactly the password value the server accepted.
        QCOMPARE(f.folder.read("LoginWan.ini"),
                 QString("\"%1\"\r\n\"demo\"\r\n\"%2\"\r\n\"2026-01-02\"\r\n")
                     .arg(f.server.baseUrl(), encrypted)
                     .toUtf8());
        QCOMPARE(f.context.senderCode, QString("001"));
        QVERIFY(!f.context.canConfigure);
        QVERIFY(f.context.canExecute);
        QVERIFY(f.context.loggedIn);
        QCOMPARE(f.context.persistent.encryptedPassword, encrypted);

        // The next dialog restores server, user and date, never the password.
        FrmHttpLogin again(f.s.services, f.context);
        QCOMPARE(Fixture::child<QLineEdit>(again, "txtHttpServer")->text(), f.server.baseUrl());
        QCOMPARE(Fixture::child<QLineEdit>(again, "txtUser")->text(), QString("demo"));
        QCOMPARE(Fixture::child<QLineEdit>(again, "txtPwd")->text(), QString());
        QCOMPARE(Fixture::child<QLineEdit>(again, "txtSender")->text(), QString());
        QCOMPARE(Fixture::child<QDateEdit>(again, "dpLogin")->date(), QDate(2026, 1, 2));
    }

    void serverAddressWithOrWithoutFinalSlash_data() {
        QTest::addColumn<bool>("finalSlash");
        QTest::newRow("with") << true;
        QTest::newRow("without") << false;
    }
    void serverAddressWithOrWithoutFinalSlash() {
        QFETCH(bool, finalSlash);
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{200, successAnswer("1", "1")};
        });
        QString address = f.server.baseUrl();
        if (!finalSlash)
            address.chop(1);
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, address);
        QVERIFY(dialog.loginSucceeded());
        QCOMPARE(f.server.requests().size(), 1);
        QCOMPARE(f.server.requests().first().path, QString("/M6KVX/login.asp"));
    }

    void refusalShowsTheReasonAndKeepsTheContext() {
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{
                200,
                QStringLiteral("<r><result succeed='1' dsc='用户名或密码错误'/></r>").toUtf8()};
        });
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, f.server.baseUrl(), "NEW");
        f.verifyOneMessage("用户名或密码错误", Prompter::Icon::None);
        Fixture::verifyIdle(dialog);
        f.verifyContextUnchanged();

        // Another try is possible and succeeds.
        f.server.setHandler([](const FixtureHttpServer::Request&) {
            return Response{200, successAnswer("1", "0")};
        });
        Fixture::child<QPushButton>(dialog, "cmdOk")->click();
        QVERIFY(dialog.loginSucceeded());
        QCOMPARE(f.context.senderCode, QString("NEW"));
        QVERIFY(f.context.canConfigure);
        QVERIFY(!f.context.canExecute);
    }

    void failuresShowTheirMessageAndReturnToIdle_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("status 500") << 500 << QByteArray("<r><result succeed='0'/></r>")
                                    << kConnectionFailed << int(Prompter::Icon::Warning);
        QTest::newRow("status 404 without text")
            << 404 << QByteArray() << kConnectionFailed << int(Prompter::Icon::Warning);
        QTest::newRow("refusal without reason") << 200 << QByteArray("<r><result succeed='1'/></r>")
                                                << "登录失败！" << int(Prompter::Icon::None);
        QTest::newRow("not XML")
            << 200 << QByteArray("Service Unavailable")
            << "登录失败！服务器的应答不是可以识别的登录结果：\nService Unavailable"
            << int(Prompter::Icon::Critical);
        QTest::newRow("empty answer")
            << 200 << QByteArray() << "登录失败！服务器的应答不是可以识别的登录结果：\n(空)"
            << int(Prompter::Icon::Critical);
        QTest::newRow("no first child")
            << 200 << QByteArray("<login/>")
            << "登录失败！服务器的应答不是可以识别的登录结果：\n" +
                   XmlDocument::fromBytes("<login/>").toString().trimmed()
            << int(Prompter::Icon::Critical);
    }
    void failuresShowTheirMessageAndReturnToIdle() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(int, icon);
        Fixture f([status, body](const FixtureHttpServer::Request&) {
            return Response{status, body};
        });
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, f.server.baseUrl(), "NEW");
        QCOMPARE(f.server.requests().size(), 1);
        f.verifyOneMessage(message, Prompter::Icon(icon));
        Fixture::verifyIdle(dialog);
        f.verifyContextUnchanged();
    }

    // A success without both rights is not a login: nothing is saved or changed.
    void missingRightsItemSavesNothing() {
        const QByteArray answer =
            "<login><result succeed=\"0\"/><item key=\"KV020202\" succeed=\"1\"/></login>";
        Fixture f([answer](const FixtureHttpServer::Request&) { return Response{200, answer}; });
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, f.server.baseUrl(), "NEW");
        f.verifyOneMessage("返回xmlError" + XmlDocument::fromBytes(answer).toString(),
                           Prompter::Icon::None);
        QVERIFY(f.s.prompter.last().text.contains("KV020202"));
        Fixture::verifyIdle(dialog);
        f.verifyContextUnchanged();
    }

    void unreachableServerFails_data() {
        QTest::addColumn<bool>("listening");
        QTest::newRow("connection refused") << false;
        QTest::newRow("no answer in time") << true;
    }
    void unreachableServerFails() {
        QFETCH(bool, listening);
        Fixture f([](const FixtureHttpServer::Request&) {
            Response silent;
            silent.never = true;
            return silent;
        });
        f.s.http.setTimeoutMilliseconds(300);
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, listening ? f.server.baseUrl() : closedAddress(), "NEW");
        f.verifyOneMessage(kConnectionFailed, Prompter::Icon::Warning);
        Fixture::verifyIdle(dialog);
        f.verifyContextUnchanged();
    }

    void refusedBeforeSending_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("empty sender") << "SERVER"
                                      << ""
                                      << "demo"
                                      << "注册号不能为空!" << int(Prompter::Icon::Information);
        QTest::newRow("blank sender") << "SERVER"
                                      << "   "
                                      << "demo"
                                      << "注册号不能为空!" << int(Prompter::Icon::Information);
        QTest::newRow("bad address")
            << "not an address"
            << "001"
            << "demo"
            << "Url地址不正确，请与相关的服务器管理员联系！(类似http://192.168.0.1/)"
            << int(Prompter::Icon::Warning);
        QTest::newRow("blank after the final slash stays in the address")
            << "SERVER "
            << "001"
            << "demo"
            << "Url地址不正确，请与相关的服务器管理员联系！(类似http://192.168.0.1/)"
            << int(Prompter::Icon::Warning);
        QTest::newRow("double quote in user")
            << "SERVER"
            << "001"
            << "de\"mo"
            << "服务器地址和用户名中不能含有双引号！" << int(Prompter::Icon::Warning);
    }
    void refusedBeforeSending() {
        QFETCH(QString, address);
        QFETCH(QString, sender);
        QFETCH(QString, user);
        QFETCH(QString, message);
        QFETCH(int, icon);
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{200, successAnswer("1", "1")};
        });
        address.replace("SERVER", f.server.baseUrl());
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, address, sender, user);
        f.verifyOneMessage(message, Prompter::Icon(icon));
        QVERIFY(f.server.requests().isEmpty());
        Fixture::verifyIdle(dialog);
        if (sender.trimmed().isEmpty())
            QCOMPARE(dialog.focusWidget(), Fixture::child<QLineEdit>(dialog, "txtSender"));
        QVERIFY(!QFile::exists(f.folder.filePath("LoginWan.ini")));
    }

    // The operator first declines the cancel question, then confirms it.
    void cancelWhileWaiting_data() {
        QTest::addColumn<bool>("throughCloseBox");
        QTest::newRow("cancel button") << false;
        QTest::newRow("close box") << true;
    }
    void cancelWhileWaiting() {
        QFETCH(bool, throughCloseBox);
        Fixture f([](const FixtureHttpServer::Request&) {
            Response silent;
            silent.never = true;
            return silent;
        });
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        bool sawBusy = false;
        auto pressCancel = [&dialog, throughCloseBox] {
            if (throughCloseBox)
                dialog.close();
            else
                Fixture::child<QPushButton>(dialog, "cmdCancel")->click();
        };
        QTimer::singleShot(200, &dialog, [&] {
            sawBusy = dialog.isBusy() &&
                      !Fixture::child<QPushButton>(dialog, "cmdOk")->isEnabled() &&
                      Fixture::child<QPushButton>(dialog, "cmdCancel")->isVisible() &&
                      !Fixture::child<QPushButton>(dialog, "cmdExit")->isVisible() &&
                      Fixture::child<QProgressBar>(dialog, "aniPlay")->isVisible();
            f.s.prompter.queueAnswer(Prompter::Answer::Cancel);
            pressCancel();
            QTimer::singleShot(200, &dialog, [&] {
                QVERIFY(dialog.isVisible() && dialog.isBusy());
                f.s.prompter.queueAnswer(Prompter::Answer::Ok);
                pressCancel();
            });
        });
        f.login(dialog, f.server.baseUrl(), "NEW");

        QVERIFY(sawBusy);
        QCOMPARE(f.s.prompter.records().size(), 2);
        for (const RecordingPrompter::Record& question : f.s.prompter.records()) {
            QCOMPARE(question.kind, RecordingPrompter::Kind::Question);
            QCOMPARE(question.text, QString("连接正在进行，确定想要结束？"));
            QCOMPARE(question.title, kTitle);
            QCOMPARE(question.buttons, Prompter::Buttons::OkCancel);
            QCOMPARE(question.icon, Prompter::Icon::Information);
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.loginSucceeded());
        f.verifyContextUnchanged();
    }

    void exitLeavesWithoutLogin() {
        Fixture f;
        FrmHttpLogin dialog(f.s.services, f.context);
        dialog.show();
        Fixture::child<QPushButton>(dialog, "cmdExit")->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.loginSucceeded());
        QVERIFY(f.s.prompter.records().isEmpty());
    }
};

KVX_TEST_MAIN(LoginDialogTest)
#include "tst_login_dialog.moc"
