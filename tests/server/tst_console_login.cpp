#include "app/app_context.h"
#include "app/frm_main.h"
#include "login/frm_http_login.h"
#include "server_fixture.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace kvx;

// The console's own login dialog against the reference server with its demo data, then the
// main frame with the rights that the server granted.
class ConsoleLoginTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void frameShowsTheServersRights_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("canConfigure");
        QTest::addColumn<bool>("canExecute");
        QTest::newRow("demo") << QStringLiteral("demo") << true << true;
        QTest::newRow("viewer") << QStringLiteral("viewer") << false << true;
    }
    void frameShowsTheServersRights() {
        QFETCH(QString, user);
        QFETCH(bool, canConfigure);
        QFETCH(bool, canExecute);
        test::ServerFixture server({}, test::ServerFixture::Content::DemoData);
        test::TestFolder folder(test::TestFolder::Content::Empty);
        test::TestServices s(folder.path());
        AppContext context;

        FrmHttpLogin dialog(s.services, context.login);
        dialog.show();
        dialog.findChild<QLineEdit*>(QStringLiteral("txtHttpServer"))->setText(server.baseUrl());
        dialog.findChild<QLineEdit*>(QStringLiteral("txtUser"))->setText(user);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtPwd"))->setText(user);
        dialog.findChild<QLineEdit*>(QStringLiteral("txtSender"))->setText(QStringLiteral(" 001"));
        dialog.findChild<QPushButton*>(QStringLiteral("cmdOk"))->click();
        QTRY_VERIFY(!dialog.isBusy());

        QVERIFY2(s.prompter.records().isEmpty(), qPrintable(s.prompter.texts().join('\n')));
        QVERIFY(dialog.loginSucceeded());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(context.login.senderCode, QStringLiteral("001"));

        FrmMain frame(s.services, context);
        frame.show();
        QCOMPARE(frame.findChild<QAction*>(QStringLiteral("miSetting"))->isVisible(), canConfigure);
        QCOMPARE(frame.findChild<QAction*>(QStringLiteral("miExcute"))->isVisible(), canExecute);
        QCOMPARE(frame.findChild<QLabel*>(QStringLiteral("stBarPanel1"))->text(),
                 QStringLiteral("服务器：") + server.baseUrl());
        QCOMPARE(frame.findChild<QLabel*>(QStringLiteral("stBarPanel2"))->text(),
                 QStringLiteral("操作员：") + user);
    }
};

KVX_TEST_MAIN(ConsoleLoginTest)
#include "tst_console_login.moc"
