#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/frm_main.h"
#include "app/help_topics.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QAction>
#include <QDialog>
#include <QDockWidget>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>

using namespace kvx;

namespace {

// A work window as the real ones behave towards the frame: its own help topic, and the
// condition editor's mode switch.
class ProbeWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Sche MEMBER m_sche)
public:
    ProbeWindow(int topic, bool sche)
        : m_sche(sche) {
        setProperty(kHelpContextProperty, topic);
    }
    bool m_sche;
    QList<bool> scheWhenShown;

protected:
    void showEvent(QShowEvent*) override { scheWhenShown.append(m_sche); }
};

constexpr int kNothing = -1;
constexpr int kPlanAgent = -2;

struct Fixture {
    test::TestFolder folder{test::TestFolder::Content::Empty};
    test::TestServices s{folder.path()};
    AppContext context;
    std::unique_ptr<FrmMain> frame = std::make_unique<FrmMain>(s.services, context);
    QSignalSpy planStarts{frame.get(), &FrmMain::planAgentStartRequested};

    Fixture() {
        // Every kind gets a window of its own topic; the condition editor is made in plan
        // mode, as the schedule editor leaves it.
        for (int kind = 0; kind <= int(WorkWindow::ReplaceSettings); ++kind) {
            frame->setWindowFactory(WorkWindow(kind),
                                    [kind] { return new ProbeWindow(7000 + kind, kind == 0); });
        }
        frame->show();
    }
    void run(const QString& command) { frame->m_oMenu_OnCommand("a", command, "c", "d"); }
    int windows() const { return int(frame->mdiArea()->subWindowList().size()); }
};

} // namespace

class CommandDispatcherTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("outcome"); // the window kind opened, or kNothing, kPlanAgent
        QTest::newRow("conditions") << "导入导出设置" << int(WorkWindow::ConditionEditor);
        QTest::newRow("replace") << "替换设置" << int(WorkWindow::ReplaceSettings);
        QTest::newRow("exchange") << "数据交换" << int(WorkWindow::ExchangeWindow);
        QTest::newRow("mail") << "邮件传输" << int(WorkWindow::MailWindow);
        QTest::newRow("schedule") << "数据交换计划设置" << int(WorkWindow::ScheduleEditor);
        QTest::newRow("plan agent") << "数据交换计划执行" << kPlanAgent;
        QTest::newRow("mapping does nothing") << "数据映射" << kNothing;
        QTest::newRow("unknown") << "数据" << kNothing;
        QTest::newRow("compared exactly") << "数据交换 " << kNothing;
    }
    // Each command twice: one window in its slot, in front, its topic the frame's.
    void commands() {
        QFETCH(QString, command);
        QFETCH(int, outcome);
        Fixture f;
        f.run(command);
        f.run(command);
        QVERIFY(f.s.prompter.records().isEmpty());
        QCOMPARE(f.planStarts.count(), outcome == kPlanAgent ? 2 : 0);
        QCOMPARE(f.windows(), outcome >= 0 ? 1 : 0);
        QCOMPARE(f.frame->helpContext(), outcome >= 0 ? 7000 + outcome : HelpTopic::MainFrame);
        if (outcome >= 0) {
            QWidget* window = f.frame->workWindow(WorkWindow(outcome));
            QVERIFY(window);
            QCOMPARE(f.frame->mdiArea()->activeSubWindow()->widget(), window);
        }
    }

    // Condition-file mode before the editor is shown, whether new or brought back.
    void conditionEditorLeavesPlanMode() {
        Fixture f;
        f.run("导入导出设置");
        auto* editor = qobject_cast<ProbeWindow*>(f.frame->workWindow(WorkWindow::ConditionEditor));
        editor->m_sche = true;
        editor->hide();
        f.run("导入导出设置");
        QCOMPARE(editor->scheWhenShown, (QList<bool>{false, false}));
    }

    void guards_data() {
        QTest::addColumn<bool>("modal");
        QTest::addColumn<bool>("win9x");
        QTest::addColumn<int>("figure");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("modal dialog open") << true << false << 0 << "有正执行的功能没有确认！";
        QTest::newRow("9x at 15") << false << true << 15 << "资源不足！";
        QTest::newRow("9x at 16") << false << true << 16 << "";
        QTest::newRow("figure never asked elsewhere") << false << false << 0 << "";
    }
    void guards() {
        QFETCH(bool, modal);
        QFETCH(bool, win9x);
        QFETCH(int, figure);
        QFETCH(QString, refusal);
        Fixture f;
        QDialog dialog(f.frame.get());
        dialog.setModal(true);
        dialog.setVisible(modal);
        f.context.isWin9x = win9x;
        int asked = 0;
        f.frame->commands().setResourceFigure([&] {
            ++asked;
            return figure;
        });
        f.run("数据交换");
        QCOMPARE(asked, win9x ? 1 : 0);
        QCOMPARE(f.windows(), refusal.isEmpty() ? 1 : 0);
        QCOMPARE(f.s.prompter.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        if (modal) {
            QCOMPARE(f.s.prompter.last().title, QString("提示"));
            QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Information);
        } else if (!refusal.isEmpty()) {
            QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Warning);
        }
    }

    // Hidden at the start; shown from the window menu, a command is picked from its list.
    void commandWindow() {
        Fixture f;
        auto* dock = f.frame->findChild<QDockWidget*>("dockCommands");
        QVERIFY(!dock->isVisible());
        f.frame->findChild<QAction*>("miCommands")->trigger();
        QVERIFY(dock->isVisible());
        auto* list = dock->findChild<QListWidget*>("lstCommands");
        Q_EMIT list->itemActivated(list->findItems("替换设置", Qt::MatchExactly).value(0));
        QVERIFY(f.frame->workWindow(WorkWindow::ReplaceSettings));
    }
};

KVX_TEST_MAIN(CommandDispatcherTest)
#include "tst_command_dispatcher.moc"
