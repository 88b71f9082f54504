#include "app/app_context.h"
#include "app/frm_about.h"
#include "app/frm_main.h"
#include "app/help_topics.h"
#include "fixture_http_server.h"
#include "login/frm_http_login.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

using namespace kvx;
using test::FixtureHttpServer;
using test::RecordingPrompter;
using test::TestFolder;

namespace {

struct Fixture {
    TestFolder folder{TestFolder::Content::Empty};
    test::TestServices s{folder.path()};
    AppContext context;

    std::unique_ptr<FrmMain> frame(bool canConfigure = true, bool canExecute = true) {
        context.login.canConfigure = canConfigure;
        context.login.canExecute = canExecute;
        auto frame = std::make_unique<FrmMain>(s.services, context);
        frame->show();
        return frame;
    }
};

QAction* item(FrmMain& frame, const char* name) {
    QAction* action = frame.findChild<QAction*>(QString::fromLatin1(name));
    if (!action)
        qFatal("no menu item %s", name);
    return action;
}

QString panel(FrmMain& frame, int number) {
    return frame.findChild<QLabel*>(QStringLiteral("stBarPanel%1").arg(number))->text();
}

QStringList childTitles(FrmMain& frame) {
    QStringList titles;
    for (QMdiSubWindow* window : frame.mdiArea()->subWindowList())
        titles.append(window->widget()->windowTitle());
    return titles;
}

// Fills the login dialog that is about to be shown modally and presses the given button.
void answerLoginDialog(const QString& address, const QString& sender, const char* button) {
    QTimer::singleShot(0, [address, sender, button] {
        auto* dialog = qobject_cast<FrmHttpLogin*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit*>("txtHttpServer")->setText(address);
        dialog->findChild<QLineEdit*>("txtUser")->setText("新操作员");
        dialog->findChild<QLineEdit*>("txtPwd")->setText("pw");
        dialog->findChild<QLineEdit*>("txtSender")->setText(sender);
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    });
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuBarAtStart_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("visible");
        const QList<std::tuple<const char*, QString, bool>> items = {
            {"mnuSys", "系统(&S)", true},
            {"miLogin", "重新注册(&R)", true},
            {"mnuSysSpace", "", true},
            {"miExit", "退出(&X)", true},
            {"mnuReflect", "数据映射", false},
            {"mnuExchange", "导入导出", true},
            {"miSetting", "设置(&S)", true},
            {"miExcute", "执行(&E)", true},
            {"miPlan", "计划(P)", false},
            {"SendMail", "邮箱发送接收(&M)", false},
            {"mnuExcutePlan", "执行计划(&A)", false},
            {"miLog", "日志(&L)", false},
            {"mnuS", "工具(&T)", false},
            {"mnuWindow", "窗口(&W)", true},
            {"miPP", "水平平铺(&H)", true},
            {"miWPT", "垂直平铺(&V)", true},
            {"miCD", "层叠(&C)", true},
            {"miIcon", "排列图标(&A)", true},
            {"miWBar1", "", true},
            {"miStatusbar", "状态栏", true},
            {"mnuTree", "显示命令窗口", false},
            {"miCaption", "标题栏", true},
            {"mnuHelp", "帮助(&H)", true},
            {"miHelp", "KVX管理系统系统帮助(&H)", false},
            {"mnuHelpSpace1", "", false},
            {"mnuHelpSpace2", "", true},
            {"miAbount", "关于KVX管理系统(&A)", true},
        };
        for (const auto& [name, caption, visible] : items)
            QTest::newRow(name) << QString::fromLatin1(name) << caption << visible;
    }
    void menuBarAtStart() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(bool, visible);
        Fixture f;
        auto frame = f.frame();
        QAction* action = frame->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->isVisible(), visible);
    }

    void frameCaptionAndTicks() {
        Fixture f;
        auto frame = f.frame();
        QCOMPARE(frame->windowTitle(), QString("M6-KVX管理系统（远程）"));
        QCOMPARE(frame->objectName(), QString("frmMain"));
        QCOMPARE(frame->helpContext(), HelpTopic::MainFrame);
        for (const char* ticked : {"miStatusbar", "mnuTree", "miCaption"})
            QVERIFY2(item(*frame, ticked)->isChecked(), ticked);
        QVERIFY(!item(*frame, "MnuViewWeb")->text().isEmpty());
        QVERIFY(item(*frame, "MnuViewWeb")->isVisible());
    }

    void rightsDecideTheTwoItems_data() {
        QTest::addColumn<bool>("canConfigure");
        QTest::addColumn<bool>("canExecute");
        QTest::newRow("neither") << false << false;
        QTest::newRow("configure only") << true << false;
        QTest::newRow("execute only") << false << true;
        QTest::newRow("both") << true << true;
    }
    void rightsDecideTheTwoItems() {
        QFETCH(bool, canConfigure);
        QFETCH(bool, canExecute);
        Fixture f;
        auto frame = f.frame(canConfigure, canExecute);
        QCOMPARE(item(*frame, "miSetting")->isVisible(), canConfigure);
        QCOMPARE(item(*frame, "miExcute")->isVisible(), canExecute);
        QVERIFY(item(*frame, "mnuExchange")->isVisible());

        // The rights are applied again on every refresh.
        f.context.login.canConfigure = !canConfigure;
        f.context.login.canExecute = !canExecute;
        frame->refreshStatusBar();
        QCOMPARE(item(*frame, "miSetting")->isVisible(), !canConfigure);
        QCOMPARE(item(*frame, "miExcute")->isVisible(), !canExecute);
    }

    void statusBarShowsTheLoginFile() {
        Fixture f;
        f.folder.write("LoginWan.ini", "\"http://srv/\"\r\n\"张三\"\r\n\"pwd\"\r\n\"\"\r\n");
        auto frame = f.frame();
        QCOMPARE(panel(*frame, 1), QString("服务器：http://srv/"));
        QCOMPARE(panel(*frame, 2), QString("操作员：张三"));
        QCOMPARE(panel(*frame, 3), QString("业务日期："));
        QCOMPARE(panel(*frame, 4), QString("09:30"));
        QVERIFY(!panel(*frame, 5).isEmpty());

        f.s.clock.set(QDateTime(QDate(2026, 3, 15), QTime(17, 5)));
        f.folder.write("LoginWan.ini",
                       "\"http://other/\"\r\n\"李四\"\r\n\"pwd\"\r\n\"2026-03-15\"\r\n");
        frame->refreshStatusBar();
        QCOMPARE(panel(*frame, 1), QString("服务器：http://other/"));
        QCOMPARE(panel(*frame, 3), QString("业务日期：2026-03-15"));
        QCOMPARE(panel(*frame, 4), QString("17:05"));

        // Without the file the panels keep their text.
        QFile::remove(f.folder.filePath("LoginWan.ini"));
        frame->refreshStatusBar();
        QCOMPARE(panel(*frame, 2), QString("操作员：李四"));
    }

    void statusBarItemFlipsTheBar() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miStatusbar")->trigger();
        QVERIFY(!frame->statusBar()->isVisible());
        QVERIFY(!item(*frame, "miStatusbar")->isChecked());
        item(*frame, "miStatusbar")->trigger();
        QVERIFY(frame->statusBar()->isVisible());
        // The caption item has no action: its tick stays.
        item(*frame, "miCaption")->trigger();
        QVERIFY(item(*frame, "miCaption")->isChecked());
    }

    void slotsKeepOneWindowOfEachKind() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();
        QWidget* exchange = frame->workWindow(WorkWindow::ExchangeWindow);
        QVERIFY(exchange);
        QCOMPARE(exchange->windowTitle(), QString("导入导出"));
        QCOMPARE(exchange->property(kHelpContextProperty).toInt(), HelpTopic::ExchangeWindow);
        item(*frame, "miSetting")->trigger();
        QCOMPARE(
            frame->workWindow(WorkWindow::ConditionEditor)->property(kHelpContextProperty).toInt(),
            HelpTopic::ConditionEditor);
        item(*frame, "miExcute")->trigger();
        QCOMPARE(frame->workWindow(WorkWindow::ExchangeWindow), exchange);
        QCOMPARE(frame->mdiArea()->activeSubWindow()->widget(), exchange);
        item(*frame, "miPlan")->trigger();
        QCOMPARE(childTitles(*frame), (QStringList{"导入导出", "导入导出设置", "计划"}));

        // The mail item opens a new window every time.
        item(*frame, "SendMail")->trigger();
        item(*frame, "SendMail")->trigger();
        QCOMPARE(childTitles(*frame).count("KVX远程数据传输工具"), 2);

        // A closed window leaves its slot empty; the next use makes a fresh one.
        frame->mdiArea()->subWindowList().first()->close();
        QTRY_VERIFY(!frame->workWindow(WorkWindow::ExchangeWindow));
        QVERIFY(frame->openWorkWindow(WorkWindow::ExchangeWindow));
        QCOMPARE(childTitles(*frame).count("导入导出"), 1);
    }

    void registeredFactoryMakesTheWindow() {
        Fixture f;
        auto frame = f.frame();
        int made = 0;
        int prepared = 0;
        frame->setWindowFactory(
            WorkWindow::ExchangeWindow,
            [&made] {
                ++made;
                auto* window = new QLabel("exchange");
                window->setObjectName("realExchangeWindow");
                window->setWindowTitle("导入导出");
                return window;
            },
            [&prepared](QWidget* window) {
                QCOMPARE(window->objectName(), QString("realExchangeWindow"));
                ++prepared;
            });
        item(*frame, "miExcute")->trigger();
        item(*frame, "miExcute")->trigger();
        QCOMPARE(made, 1);
        QCOMPARE(prepared, 2);
        QCOMPARE(frame->workWindow(WorkWindow::ExchangeWindow)->objectName(),
                 QString("realExchangeWindow"));
    }

    void windowMenuListsTheChildren() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();
        item(*frame, "miSetting")->trigger();
        auto* menu = frame->findChild<QMenu*>("mnuWindow");
        QMetaObject::invokeMethod(menu, "aboutToShow");
        QStringList listed;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith('&'))
                listed.append(action->text() + (action->isChecked() ? "*" : ""));
        }
        QCOMPARE(listed, (QStringList{"&1 导入导出", "&2 导入导出设置*"}));
    }

    void tilingArrangesTheChildren() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();
        item(*frame, "miSetting")->trigger();
        const QList<QMdiSubWindow*> windows = frame->mdiArea()->subWindowList();
        const QSize space = frame->mdiArea()->viewport()->size();
        item(*frame, "miPP")->trigger();
        for (QMdiSubWindow* window : windows)
            QCOMPARE(window->width(), space.width());
        QVERIFY(windows.at(0)->y() != windows.at(1)->y());
        item(*frame, "miWPT")->trigger();
        for (QMdiSubWindow* window : windows)
            QCOMPARE(window->height(), space.height());
        QVERIFY(windows.at(0)->x() != windows.at(1)->x());
    }

    void reloginClosesWorkWindowsAndAppliesTheNewLogin() {
        FixtureHttpServer server([](const FixtureHttpServer::Request&) {
            return FixtureHttpServer::Response{
                200, "<r><result succeed='0'/><item key='KV020202' succeed='1'/>"
                     "<item key='KV0203' succeed='0'/></r>"};
        });
        Fixture f;
        f.context.login.senderCode = "OLD";
        auto frame = f.frame(false, true);
        item(*frame, "miExcute")->trigger();
        item(*frame, "miPlan")->trigger();
        item(*frame, "SendMail")->trigger();
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 3);

        // A re-login left without success changes nothing.
        answerLoginDialog(server.baseUrl(), "NEW", "cmdExit");
        item(*frame, "miLogin")->trigger();
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 3);
        QCOMPARE(f.context.login.senderCode, QString("OLD"));

        answerLoginDialog(server.baseUrl(), "NEW", "cmdOk");
        item(*frame, "miLogin")->trigger();
        QVERIFY(frame->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(panel(*frame, 1), "服务器：" + server.baseUrl());
        QCOMPARE(panel(*frame, 2), QString("操作员：新操作员"));
        QCOMPARE(panel(*frame, 3), "业务日期：" + f.s.clock.today().toString("yyyy-MM-dd"));
        QVERIFY(item(*frame, "miSetting")->isVisible());
        QVERIFY(!item(*frame, "miExcute")->isVisible());
        QCOMPARE(f.context.login.senderCode, QString("NEW"));
        QVERIFY(frame->isVisible());
    }

    void quitAsksFirst() {
        Fixture f;
        auto frame = f.frame();
        item(*frame, "miExcute")->trigger();

        item(*frame, "miExit")->trigger();
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(f.s.prompter.records().size(), 1);
        const RecordingPrompter::Record question = f.s.prompter.last();
        QCOMPARE(question.kind, RecordingPrompter::Kind::Question);
        QCOMPARE(question.text, QString("确认退出KVX管理系统?"));
        QCOMPARE(question.title, QString("KVX管理系统"));
        QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(question.icon, Prompter::Icon::Question);

        f.s.prompter.queueAnswer(Prompter::Answer::Yes);
        QVERIFY(frame->close());
        QVERIFY(!frame->isVisible());
        QCOMPARE(f.s.prompter.records().size(), 2);
    }

    void browserFailureIsReported() {
        Fixture f;
        auto frame = f.frame();
        QVERIFY(!frame->viewWeb(QString()));
        QCOMPARE(f.s.prompter.last().text,
                 QString("不能启动 Web 浏览器,请检查 Internet设置及连接是否正常。"));
        QCOMPARE(f.s.prompter.last().title, frame->windowTitle());
        QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Information);
    }

    void helpFileBelowTheParentFolder() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("Help/KVX.CHM", "chm");
        QDir(folder.path()).mkpath("console");
        const AppFolder app(folder.filePath("console"));
        QCOMPARE(helpFilePath(app), folder.filePath("Help/KVX.CHM"));

        // A missing help file is named in the message.
        test::TestServices s(folder.filePath("console"));
        QFile::remove(folder.filePath("Help/KVX.CHM"));
        AppContext context;
        FrmMain frame(s.services, context);
        frame.showHelp();
        QCOMPARE(s.prompter.last().text,
                 QDir::toNativeSeparators(folder.filePath("Help/kvx.chm")) + "文件不存在！");
    }

    void aboutBoxOpensModally() {
        Fixture f;
        auto frame = f.frame();
        QString caption;
        QTimer::singleShot(0, [&caption] {
            auto* about = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(about);
            caption = about->windowTitle();
            about->findChild<QPushButton*>("cmdOk")->click();
        });
        item(*frame, "miAbount")->trigger();
        QCOMPARE(caption, QString("关于KVX管理系统"));
    }
};

KVX_TEST_MAIN(MainFrameTest)
#include "tst_main_frame.moc"
