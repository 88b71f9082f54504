#include "app/plan_agent_launcher.h"
#include "platform/autostart.h"
#include "platform/process_lock.h"
#include "schedule/plan_agent_files.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QDir>
#include <QLockFile>
#include <csignal>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kEntry = QStringLiteral("autostart/M6KVXTimer.desktop");

// An application folder whose name needs quoting, with the agent program in it; the
// desktop's configuration in a folder of the test's own.
struct Desktop {
    Desktop() {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QDir().mkpath(app);
        QFile::copy(QStringLiteral(KVX_AGENT_EXE),
                    AppFolder(app).resolve(PlanAgentFiles::programRelativePath()));
    }
    ~Desktop() {
        stopAgent();
        qunsetenv("XDG_CONFIG_HOME");
    }
    QString lock() const { return AppFolder(app).resolve(PlanAgentFiles::lockRelativePath()); }
    qint64 agentPid() const {
        qint64 pid = 0;
        QString host, name;
        QLockFile(lock()).getLockInfo(&pid, &host, &name);
        return pid;
    }
    void stopAgent() const {
        if (ProcessLock::isHeld(lock()))
            ::kill(pid_t(agentPid()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!ProcessLock::isHeld(lock()), 20000);
    }
    QString entry() const { return QString::fromUtf8(config.read(kEntry)); }

    TestFolder config{TestFolder::Content::Empty};
    TestFolder root{TestFolder::Content::Sample};
    QString app = root.path() + "/app 100%";
};

} // namespace

class PlanAgentLauncherTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void registersAndStartsTheAgent() {
        Desktop d;
        TestServices s(d.app);
        PlanAgentLauncher launcher(s.services);
        const QString program = d.app + "/KVXTimer";
        QCOMPARE(launcher.agentPath(), program);

        // First use: registered, started, said.
        launcher.start();
        QCOMPARE(s.prompter.texts(), QStringList{"数据交换代理启动"});
        QCOMPARE(s.prompter.last().title, "提示");
        QCOMPARE(s.prompter.last().icon, Prompter::Icon::None);
        QVERIFY(d.entry().contains("\nExec=\"" + QString(program).replace("%", "%%") +
                                   "\" --app-dir \"" + QString(d.app).replace("%", "%%") + "\"\n"));
        QCOMPARE(s.autostart.command("M6KVXTimer"),
                 Autostart::commandLine(d.app + "/KVXTimer", launcher.agentArguments()));
        QTRY_VERIFY_WITH_TIMEOUT(ProcessLock::isHeld(d.lock()), 20000);
        const qint64 first = d.agentPid();

        // While it runs: said so, no second start.
        s.prompter.clear();
        launcher.start();
        QCOMPARE(s.prompter.texts(), QStringList{"M6KVX计划监控程序已运行"});
        QCOMPARE(d.agentPid(), first);

        // Stopped, although its entry is still there: started again.
        d.stopAgent();
        s.prompter.clear();
        launcher.start();
        QCOMPARE(s.prompter.texts(), QStringList{"数据交换代理启动"});
        QTRY_VERIFY_WITH_TIMEOUT(ProcessLock::isHeld(d.lock()), 20000);
        QVERIFY(d.agentPid() != first);
    }

    // The application moved: the entry named the old folder and is replaced.
    void replacesAnEntryOfAnotherFolder() {
        Desktop d;
        TestServices s(d.app);
        QVERIFY(s.autostart.setCommand("M6KVXTimer", "/old/KVXTimer --app-dir /old", nullptr));
        PlanAgentLauncher launcher(s.services);
        QVERIFY(launcher.RegisterPlanAgent());
        QCOMPARE(s.autostart.command("M6KVXTimer"),
                 Autostart::commandLine(launcher.agentPath(), launcher.agentArguments()));
        QVERIFY(s.prompter.records().isEmpty());
    }

    void missingAgentIsReported() {
        Desktop d;
        QFile::remove(d.app + "/KVXTimer");
        TestServices s(d.app);
        PlanAgentLauncher launcher(s.services);
        launcher.start();
        QCOMPARE(s.prompter.texts(),
                 QStringList{QDir::toNativeSeparators(launcher.agentPath()) + "文件不存在！"});
        QVERIFY(d.entry().isEmpty());
    }
};

KVX_TEST_MAIN_CORE(PlanAgentLauncherTest)
#include "tst_plan_agent_launcher.moc"
