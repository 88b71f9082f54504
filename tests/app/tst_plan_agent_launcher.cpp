#include "app/plan_agent_launcher.h"
#include "platform/autostart.h"
#include "platform/process_lock.h"
#include "schedule/plan_agent_files.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
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
    bool agentRuns() const { return ProcessLock::probe(lock()) == ProcessLock::State::Held; }
    void stopAgent() const {
        if (agentRuns())
            ::kill(pid_t(agentPid()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!agentRuns(), 20000);
    }
    QString entry() const { return QString::fromUtf8(config.read(kEntry)); }

    TestFolder config{TestFolder::Content::Empty};
    TestFolder root{TestFolder::Content::Sample};
    QString app = root.path() + "/app 100%";
};

// "started " and the message when the agent was started, else the message.
QString said(const PlanAgentLauncher::Outcome& outcome) {
    return (outcome.started ? "started " : "") + outcome.message;
}

// The lock the console holds for its application folder.
QString lockPathFor(const QString& appFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir(appFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QDir::temp().filePath(
        QStringLiteral("kvx-console-%1.lock").arg(QString::fromLatin1(key)));
}

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
        QCOMPARE(said(launcher.start()), "started 数据交换代理启动");
        QVERIFY(d.entry().contains("\nExec=\"" + QString(program).replace("%", "%%") +
                                   "\" --app-dir \"" + QString(d.app).replace("%", "%%") + "\"\n"));
        QCOMPARE(s.autostart.command("M6KVXTimer"),
                 Autostart::commandLine(d.app + "/KVXTimer", launcher.agentArguments()));
        QTRY_VERIFY_WITH_TIMEOUT(d.agentRuns(), 20000);
        const qint64 first = d.agentPid();

        // While it runs: said so, no second start.
        QCOMPARE(said(launcher.start()), "M6KVX计划监控程序已运行");
        QCOMPARE(d.agentPid(), first);

        // Stopped, although its entry is still there: started again. The killed agent's lock
        // file is left as it was by the probes.
        d.stopAgent();
        QVERIFY(QFile::exists(d.lock()));
        QCOMPARE(said(launcher.start()), "started 数据交换代理启动");
        QTRY_VERIFY_WITH_TIMEOUT(d.agentRuns(), 20000);
        QVERIFY(d.agentPid() != first);
        QVERIFY(s.prompter.records().isEmpty()); // the frame shows what the launcher says
    }

    // The application moved: the entry named the old folder and is replaced.
    void replacesAnEntryOfAnotherFolder() {
        Desktop d;
        TestServices s(d.app);
        QVERIFY(s.autostart.setCommand("M6KVXTimer", "/old/KVXTimer --app-dir /old", nullptr));
        PlanAgentLauncher launcher(s.services);
        PlanAgentLauncher::Outcome refusal;
        QVERIFY(launcher.RegisterPlanAgent(&refusal));
        QCOMPARE(s.autostart.command("M6KVXTimer"),
                 Autostart::commandLine(launcher.agentPath(), launcher.agentArguments()));
    }

    void missingAgentIsReported() {
        Desktop d;
        QFile::remove(d.app + "/KVXTimer");
        TestServices s(d.app);
        PlanAgentLauncher launcher(s.services);
        const PlanAgentLauncher::Outcome outcome = launcher.start();
        QCOMPARE(said(outcome), QDir::toNativeSeparators(launcher.agentPath()) + "文件不存在！");
        QCOMPARE(outcome.icon, Prompter::Icon::Warning);
        QVERIFY(d.entry().isEmpty());
    }

    // The lock as the launcher asks after it and the agent takes it: held only by a living
    // process; a place where no lock file can be made is said so, not taken for a holder.
    void lockStates_data() {
        QTest::addColumn<QString>("place");
        QTest::addColumn<ProcessLock::State>("state");
        QTest::newRow("free") << "KVXTimer.lock" << ProcessLock::State::Free;
        QTest::newRow("held") << "KVXTimer.lock" << ProcessLock::State::Held;
        QTest::newRow("no folder") << "missing/KVXTimer.lock" << ProcessLock::State::Unusable;
        QTest::newRow("a folder in its place") << "folder" << ProcessLock::State::Unusable;
    }
    void lockStates() {
        QFETCH(QString, place);
        QFETCH(ProcessLock::State, state);
        TestFolder folder(TestFolder::Content::Empty);
        const QString path = folder.filePath(place);
        QDir().mkpath(folder.filePath("folder"));
        ProcessLock holder(path);
        if (state == ProcessLock::State::Held)
            QVERIFY(holder.tryLock() == ProcessLock::State::Free);
        QString probed;
        QString taken;
        QVERIFY(ProcessLock::probe(path, &probed) == state);
        ProcessLock lock(path);
        QVERIFY(lock.tryLock(&taken) == state);
        if (state == ProcessLock::State::Unusable) {
            QVERIFY2(probed.startsWith("无法使用锁文件" + QDir::toNativeSeparators(path)),
                     qPrintable(probed));
            QVERIFY2(taken.startsWith("无法使用锁文件"), qPrintable(taken));
        }
    }

    // The console, like the agent, runs once per application folder: a second one ends at once.
    void secondInstanceEndsAtOnce() {
        TestFolder folder(TestFolder::Content::Sample);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KVX_APP_DIR", folder.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");

        const QString lockPath = lockPathFor(folder.path());
        QProcess first;
        // However the test ends, the first instance and its lock go.
        const auto cleanup = qScopeGuard([&first, &lockPath] {
            first.kill();
            first.waitForFinished(10000);
            QFile::remove(lockPath);
        });
        first.setProcessEnvironment(environment);
        first.start(KVX_CONSOLE_PATH, {});
        QVERIFY(first.waitForStarted());
        // The first instance waits in its login dialog, holding the lock.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lockPath), 20000);

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(KVX_CONSOLE_PATH, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
    }
};

KVX_TEST_MAIN_CORE(PlanAgentLauncherTest)
#include "tst_plan_agent_launcher.moc"
