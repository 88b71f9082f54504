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
    explicit ProbeWindow(int topic, bool sche)
        : m_sche(sche) {
        setProperty(kHelpContextProperty, topic);
    }
    bool m_sche;
    QList<bool> scheWhenShown;

protected:
    void showEvent(QShowEvent*) override { scheWhenShown.append(m_sche); }
};

constexpr WorkWindow kKinds[] = {WorkWindow::ConditionEditor, WorkWindow::ExchangeWindow,
                                 WorkWindow::ScheduleEditor, WorkWindow::MailWindow,
                                 WorkWindow::ReplaceSettings};
constexpr int kNoWindow = -1;
constexpr int kPlanAgent = -2;

int topicOf(WorkWindow kind) {
    return 7000 + int(kind);
}

struct Fixture {
    test::TestFolder folder{test::TestFolder::Content::Empty};
    test::TestServices s{folder.path()};
    AppContext context;
    std::unique_ptr<FrmMain> frame = std::make_unique<FrmMain>(s.services, context);
    QSignalSpy planStarts{frame.get(), &FrmMain::planAgentStartRequested};

    Fixture() {
        for (WorkWindow kind : kKinds) {
            // The condition editor is made in plan mode, as the schedule editor leaves it.
            frame->setWindowFactory(kind, [kind] {
                return new ProbeWindow(topicOf(kind), kind == WorkWindow::ConditionEditor);
            });
        }
        frame->show();
    }
    int windows() const { return int(frame->mdiArea()->subWindowList().size()); }
    // Nothing opened, asked or started, and the frame's topic as it was.
    void expectNothingDone() const {
        QCOMPARE(windows(), 0);
        QCOMPARE(planStarts.count(), 0);
        QCOMPARE(frame->helpContext(), HelpTopic::MainFrame);
    }
};

} // namespace

class CommandDispatcherTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("outcome"); // the window kind opened, or kNoWindow, kPlanAgent
        QTest::newRow("conditions") << "导入导出设置" << int(WorkWindow::ConditionEditor);
        QTest::newRow("replace") << "替换设置" << int(WorkWindow::ReplaceSettings);
        QTest::newRow("exchange") << "数据交换" << int(WorkWindow::ExchangeWindow);
        QTest::newRow("mail") << "邮件传输" << int(WorkWindow::MailWindow);
        QTest::newRow("schedule") << "数据交换计划设置" << int(WorkWindow::ScheduleEditor);
        QTest::newRow("plan agent") << "数据交换计划执行" << kPlanAgent;
        QTest::newRow("mapping") << "数据映射" << kNoWindow;
        QTest::newRow("log") << "数据交换日志" << kNoWindow;
        QTest::newRow("unknown") << "数据" << kNoWindow;
        QTest::newRow("compared exactly") << "数据交换 " << kNoWindow;
    }
    // Each command twice: one window in its slot, in front, its topic the frame's.
    void commands() {
        QFETCH(QString, command);
        QFETCH(int, outcome);
        Fixture f;
        f.frame->m_oMenu_OnCommand("a", command, "c", "d");
        f.frame->m_oMenu_OnCommand({}, command, {}, {});
        QVERIFY(f.s.prompter.records().isEmpty());
        if (outcome < 0) {
            QCOMPARE(f.windows(), 0);
            QCOMPARE(f.planStarts.count(), outcome == kPlanAgent ? 2 : 0);
            QCOMPARE(f.frame->helpContext(), HelpTopic::MainFrame);
            return;
        }
        const auto kind = WorkWindow(outcome);
        QCOMPARE(f.windows(), 1);
        QWidget* window = f.frame->workWindow(kind);
        QVERIFY(window);
        QCOMPARE(f.frame->mdiArea()->activeSubWindow()->widget(), window);
        QCOMPARE(f.frame->helpContext(), topicOf(kind));
        QCOMPARE(f.planStarts.count(), 0);
    }

    // Condition-file mode before the editor is shown, whether new or brought back.
    void conditionEditorLeavesPlanMode() {
        Fixture f;
        f.frame->m_oMenu_OnCommand({}, "导入导出设置", {}, {});
        auto* editor = qobject_cast<ProbeWindow*>(f.frame->workWindow(WorkWindow::ConditionEditor));
        QCOMPARE(editor->scheWhenShown, QList<bool>{false});
        editor->m_sche = true;
        editor->hide();
        f.frame->m_oMenu_OnCommand({}, "导入导出设置", {}, {});
        QCOMPARE(editor->scheWhenShown, (QList<bool>{false, false}));
    }

    void busyFrameRefuses() {
        Fixture f;
        QDialog dialog(f.frame.get());
        dialog.setModal(true);
        dialog.show();
        f.frame->m_oMenu_OnCommand({}, "数据交换", {}, {});
        f.expectNothingDone();
        QCOMPARE(f.s.prompter.texts(), QStringList{"有正执行的功能没有确认！"});
        QCOMPARE(f.s.prompter.last().title, QString("提示"));
        QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Information);
    }

    void resources_data() {
        QTest::addColumn<bool>("win9x");
        QTest::addColumn<int>("figure");
        QTest::addColumn<bool>("opens");
        QTest::newRow("9x at 15") << true << 15 << false;
        QTest::newRow("9x at 16") << true << 16 << true;
        QTest::newRow("never asked elsewhere") << false << 0 << true;
    }
    void resources() {
        QFETCH(bool, win9x);
        QFETCH(int, figure);
        QFETCH(bool, opens);
        Fixture f;
        f.context.isWin9x = win9x;
        int asked = 0;
        f.frame->commands().setResourceFigure([&] {
            ++asked;
            return figure;
        });
        f.frame->m_oMenu_OnCommand({}, "数据交换计划执行", {}, {});
        QCOMPARE(asked, win9x ? 1 : 0);
        QCOMPARE(f.planStarts.count(), opens ? 1 : 0);
        QCOMPARE(f.s.prompter.texts(), opens ? QStringList() : QStringList{"资源不足！"});
        if (!opens)
            QCOMPARE(f.s.prompter.last().icon, Prompter::Icon::Warning);
    }

    // Hidden at the start; shown from the window menu, a command is picked from its list.
    void commandWindow() {
        Fixture f;
        auto* dock = f.frame->findChild<QDockWidget*>("dockCommands");
        QVERIFY(!dock->isVisible());
        f.frame->findChild<QAction*>("miCommands")->trigger();
        QVERIFY(dock->isVisible());
        auto* list = dock->findChild<QListWidget*>("lstCommands");
        const QList<QListWidgetItem*> found = list->findItems("替换设置", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        Q_EMIT list->itemActivated(found.first());
        QVERIFY(f.frame->workWindow(WorkWindow::ReplaceSettings));
    }
};

KVX_TEST_MAIN(CommandDispatcherTest)
#include "tst_command_dispatcher.moc"
