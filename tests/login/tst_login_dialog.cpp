#include "find_control.h"
#include "fixture_http_server.h"
#include "login/frm_http_login.h"
#include "login/login_context.h"
#include "operator_input.h"
#include "platform/xml/xml_document.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>
#include <QTimer>

using namespace kvx;
using test::FixtureHttpServer;
using test::RecordingPrompter;
using test::TestFolder;
using Response = FixtureHttpServer::Response;
using Icon = Prompter::Icon;

namespace {

const QString kTitle = QStringLiteral("KVX管理系统");
const QString kConnectionFailed = QStringLiteral("登录失败,请检查网络连接(服务器需要IIS支持)！");

struct Fixture {
    explicit Fixture(FixtureHttpServer::Handler handler = {})
        : server(std::move(handler)) {}

    TestFolder folder{TestFolder::Content::Empty};
    test::TestServices s{folder.path()};
    LoginContext context;
    FixtureHttpServer server;

    // Fills the shown dialog's boxes.
    void fill(FrmHttpLogin& dialog, const QString& address, const QString& sender = "001",
              const QString& user = "demo", const QString& password = "demo") {
        test::retype(findControl<QLineEdit>(&dialog, "txtHttpServer"), address);
        test::retype(findControl<QLineEdit>(&dialog, "txtUser"), user);
        test::retype(findControl<QLineEdit>(&dialog, "txtPwd"), password);
        test::retype(findControl<QLineEdit>(&dialog, "txtSender"), sender);
    }

    // Shows the dialog, fills it and presses the login button; returns when the attempt is over.
    void login(FrmHttpLogin& dialog, const QString& address, const QString& sender = "001",
               const QString& user = "demo", const QString& password = "demo") {
        dialog.show();
        fill(dialog, address, sender, user, password);
        pressLogin(dialog);
    }
    // The dialog waits for the server while the event loop turns, until the attempt is over.
    static void pressLogin(FrmHttpLogin& dialog) {
        QTest::mouseClick(findControl<QPushButton>(&dialog, "cmdOk"), Qt::LeftButton);
        QTRY_VERIFY(!dialog.isBusy());
    }

    // "idle" or "busy" when the controls agree on it.
    static QString controlState(FrmHttpLogin& dialog) {
        const bool busy = !findControl<QPushButton>(&dialog, "cmdOk")->isEnabled();
        const bool agree = busy == findControl<QPushButton>(&dialog, "cmdCancel")->isVisible() &&
                           busy == !findControl<QPushButton>(&dialog, "cmdExit")->isVisible() &&
                           busy == findControl<QProgressBar>(&dialog, "aniPlay")->isVisible() &&
                           busy == dialog.isBusy();
        return agree ? (busy ? "busy" : "idle") : "mixed";
    }
    static void verifyIdle(FrmHttpLogin& dialog) {
        QVERIFY(dialog.isVisible());
        QCOMPARE(controlState(dialog), QString("idle"));
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
    void successSavesTheLoginAndFillsTheContext() {
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{200, "<login><result succeed='0'/><item key='KV020202' succeed='0'/>"
                                 "<item key='KV0203' succeed='1'/></login>"};
        });
        FrmHttpLogin dialog(f.s.services, f.context);
        QVERIFY(findControl<QPushButton>(&dialog, "cmdOk")->isDefault());
        QCOMPARE(findControl<QLineEdit>(&dialog, "txtPwd")->echoMode(), QLineEdit::Password);
        QCOMPARE(findControl<QDateEdit>(&dialog, "dpLogin")->date(), f.s.clock.today());
        findControl<QDateEdit>(&dialog, "dpLogin")->setDate(QDate(2026, 1, 2));
        QString address = f.server.baseUrl();
        address.chop(1); // the final slash is optional
        f.login(dialog, address, "  001 ", " 张三 ", " secret ");

        QVERIFY(f.s.prompter.records().isEmpty());
        QVERIFY(dialog.loginSucceeded());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());

        QCOMPARE(f.server.requests().size(), 1);
        const FixtureHttpServer::Request request = f.server.requests().first();
        QCOMPARE(request.path, QString("/M6KVX/login.asp"));
        QVERIFY(request.body.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        // The password is sent and kept trimmed.
        const QString encrypted = f.s.services.encryptor.ascPwd("secret");
        const QList<QPair<QString, QString>> sent = {
            {"uid", "张三"}, {"pwd", encrypted}, {"date", "2026-01-02"}, {"sender", "001"}};
        // The root the reference server requires of a login.
        QCOMPARE(XmlDocument::fromBytes(request.body).root().name(), QString("opinfo"));
        QCOMPARE(XmlDocument::fromBytes(request.body).root().attributes(), sent);
        // Written in the Chinese code page, as older consoles read it.
        QCOMPARE(f.folder.read("LoginWan.ini"),
                 QStringEncoder("GB18030").encode(
                     QString("\"%1\"\r\n\"张三\"\r\n\"%2\"\r\n\"2026-01-02\"\r\n")
                         .arg(address, encrypted)));
        QCOMPARE(f.context.senderCode, QString("001"));
        QVERIFY(!f.context.canConfigure);
        QVERIFY(f.context.canExecute);
        QVERIFY(f.context.loggedIn);
        QCOMPARE(f.context.persistent.encryptedPassword, encrypted);

        // The next dialog restores server, user and date, never the password, and waits for
        // it; Tab then stops once at the date and goes on to the registration code.
        FrmHttpLogin again(f.s.services, f.context);
        QCOMPARE(findControl<QLineEdit>(&again, "txtHttpServer")->text(), address);
        QCOMPARE(findControl<QLineEdit>(&again, "txtUser")->text(), QString("张三"));
        QCOMPARE(findControl<QDateEdit>(&again, "dpLogin")->date(), QDate(2026, 1, 2));
        again.show();
        QVERIFY(QTest::qWaitForWindowActive(&again));
        QStringList stops;
        for (int i = 0; i < 3; ++i) {
            stops.append(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(stops, QStringList({"txtPwd", "dpLogin", "txtSender"}));
        QCOMPARE(findControl<QLineEdit>(&again, "txtPwd")->text(), QString());
        QTest::mouseClick(findControl<QPushButton>(&again, "cmdExit"), Qt::LeftButton);
        QVERIFY(!again.isVisible() && again.loginSucceeded() == false);
    }

    // The login holds even when "\LoginWan.ini" cannot be written: the operator is told, and
    // the session (which the status bar and the runs read) has the new values.
    void failedSaveIsReportedAndTheSessionHoldsTheLogin() {
        Fixture f([](const FixtureHttpServer::Request&) {
            return Response{200, "<r><result succeed='0'/><item key='KV020202' succeed='1'/>"
                                 "<item key='KV0203' succeed='1'/></r>"};
        });
        f.loggedInBefore();
        QVERIFY(QFile::remove(f.folder.filePath("LoginWan.ini")));
        QVERIFY(QDir(f.folder.path()).mkdir("LoginWan.ini"));
        FrmHttpLogin dialog(f.s.services, f.context);
        f.login(dialog, f.server.baseUrl(), "NEW", "新用户");
        QVERIFY(dialog.loginSucceeded());
        QCOMPARE(f.s.prompter.records().size(), 1);
        QVERIFY(f.s.prompter.last().text.startsWith(
            QDir::toNativeSeparators(f.folder.filePath("LoginWan.ini")) + "文件无法保存："));
        QCOMPARE(f.s.prompter.last().icon, Icon::Warning);
        QCOMPARE(f.context.persistent.operatorName, QString("新用户"));
        QCOMPARE(f.context.persistent.serverUrl, f.server.baseUrl());
        QCOMPARE(f.context.senderCode, QString("NEW"));
    }

    // Whatever goes wrong, before sending or after, the earlier login (its sender code
    // included) and its file stay.
    void failuresShowTheirMessageAndKeepTheLogin_data() {
        QTest::addColumn<QString>("field"); // a control typed over after the usual filling
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("status"); // 0: the server never answers; -1: nothing is sent
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        const QString unreadable = "登录失败！服务器的应答不是可以识别的登录结果：\n";
        const QByteArray rightMissing =
            "<login><result succeed=\"0\"/><item key=\"KV020202\" succeed=\"1\"/></login>";
        auto row = [](const char* tag, const char* field, const char* typed, int status,
                      const QByteArray& body, const QString& message, Icon icon) {
            QTest::newRow(tag) << QString(field) << QString(typed) << status << body << message
                               << int(icon);
        };
        row("blank sender", "txtSender", "   ", -1, {}, "注册号不能为空!", Icon::Information);
        row("blank after the final slash stays in the address", "txtHttpServer", "SERVER ", -1, {},
            "Url地址不正确，请与相关的服务器管理员联系！(类似http://192.168.0.1/)", Icon::Warning);
        row("double quote in user", "txtUser", "de\"mo", -1, {},
            "服务器地址和用户名中不能含有双引号！", Icon::Warning);
        row("status 500", "", "", 500, "<r><result succeed='0'/></r>", kConnectionFailed,
            Icon::Warning);
        row("timeout", "", "", 0, {}, kConnectionFailed, Icon::Warning);
        row("refused with reason", "", "", 200,
            QStringLiteral("<r><result succeed='1' dsc='用户名或密码错误'/></r>").toUtf8(),
            "用户名或密码错误", Icon::None);
        row("refused without reason", "", "", 200, "<r><result succeed='1'/></r>", "登录失败！",
            Icon::None);
        row("rights item missing", "", "", 200, rightMissing,
            "返回xmlError" + XmlDocument::fromBytes(rightMissing).toString(), Icon::None);
        row("not XML", "", "", 200, "Service Unavailable", unreadable + "Service Unavailable",
            Icon::Critical);
        row("empty answer", "", "", 200, {}, unreadable + "(空)", Icon::Critical);
    }
    void failuresShowTheirMessageAndKeepTheLogin() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        QFETCH(int, icon);
        Fixture f([status, body](const FixtureHttpServer::Request&) {
            return Response{status, body, 0, status == 0};
        });
        f.s.http.setTimeoutMilliseconds(300);
        f.loggedInBefore();
        FrmHttpLogin dialog(f.s.services, f.context);
        dialog.show();
        f.fill(dialog, f.server.baseUrl(), "NEW");
        if (!field.isEmpty())
            test::retype(findControl<QLineEdit>(&dialog, field),
                         typed.replace("SERVER", f.server.baseUrl()));
        Fixture::pressLogin(dialog);
        QCOMPARE(f.server.requests().size(), status < 0 ? 0 : 1);
        f.verifyOneMessage(message, Prompter::Icon(icon));
        Fixture::verifyIdle(dialog);
        f.verifyContextUnchanged();
        if (field == "txtSender")
            QCOMPARE(dialog.focusWidget(), findControl<QLineEdit>(&dialog, "txtSender"));
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
                QTest::mouseClick(findControl<QPushButton>(&dialog, "cmdCancel"), Qt::LeftButton);
        };
        QTimer::singleShot(200, &dialog, [&] {
            sawBusy = Fixture::controlState(dialog) == "busy";
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
};

KVX_TEST_MAIN(LoginDialogTest)
#include "tst_login_dialog.moc"
