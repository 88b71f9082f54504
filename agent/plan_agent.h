#pragma once

#include "platform/desktop_notifier.h"
#include "runs/run_summary.h"
#include "schedule/schedule.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace kvx {

class AgentPrompter;
class ProcessLock;
class ScheduleRun;
struct Services;

// The plan agent's work: keeps the schedule file in view (read again whenever it changes)
// and runs each schedule's imports and exports when its time comes, through the console's
// runs with nobody to answer. A schedule's run time runs once at most: not again when the
// clock is set back (the run history keeps when each schedule last ran), and after a sleep
// only the latest time missed. A run that fell due before the agent started is not made up.
// A schedule runs in one process at a time: each run holds the schedule's run lock from the
// moment it is due until it ends. Nobody watches the runs, so one that did not end well is
// also noted on the desktop, where the session offers notifications.
class PlanAgent : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString& line)>;

    // `prompter` is the one of the services.
    PlanAgent(Services& services, AgentPrompter& prompter, Log log);
    ~PlanAgent() override;

    // Reads the schedule file when it is not the one read last; false when it cannot be
    // read. A damaged file keeps the schedules read before; a missing one has none. Either is
    // logged once until the file changes.
    bool refreshSchedules();
    const QList<Schedule>& schedules() const { return m_schedules; }

    // Starts the schedules whose time came since the last look (the first look: since the
    // agent was made), after reading the schedule file again if it changed. Each one's report
    // comes with scheduleFinished.
    void checkDue();
    // Looks once a minute, a second into each minute, until the program ends.
    void start();

    // `--run-now CODE`: starts the schedule of exactly this code, read afresh, under its run
    // lock; its report comes with scheduleFinished. False, with *error, when there is no such
    // schedule or another process runs it now.
    bool runNow(const QString& code, QString* error);

    // True while a schedule runs or waits for its turn.
    bool isRunning() const;

Q_SIGNALS:
    // A schedule's run ended; its report is logged too. `runs` as ScheduleRun::finished.
    void scheduleFinished(const QString& report, const QList<RunSummary>& runs);

private:
    // The schedule's run at a look, under its run lock; passed by when another process runs
    // it now or it ran at or after its run time (the history says so).
    void runDue(const Schedule& schedule, const QDateTime& runTime);
    // The start of the schedule's last run, by this agent or any other.
    QDateTime lastRun(const QString& code);
    // Runs the schedule's imports, then its exports: now, or after the schedules already
    // under way; the lock is held until its run ends.
    void runSchedule(const Schedule& schedule, std::unique_ptr<ProcessLock> lock);
    void runNextSchedule();
    // The desktop note of the current schedule's run when a direction did not end well.
    void noteProblem(const QString& report, const QList<RunSummary>& runs);
    void scheduleNextLook();
    void logSchedules();

    Services& m_services;
    AgentPrompter& m_prompter;
    Log m_log;
    QList<Schedule> m_schedules;
    // The file as last looked at (read, or found missing or damaged and logged), and whether
    // it was read.
    struct FileSeen {
        QDateTime time;
        qint64 size = -1;
        bool operator==(const FileSeen&) const = default;
    };
    std::optional<FileSeen> m_fileSeen;
    bool m_fileRead = false;
    QDateTime m_lastLook;
    QHash<QString, QDateTime> m_lastRuns;
    struct Waiting {
        Schedule schedule;
        std::unique_ptr<ProcessLock> lock;
    };
    std::vector<Waiting> m_waiting;
    QPointer<ScheduleRun> m_current;
    QTimer m_timer;
    DesktopNotifier m_notifier{QStringLiteral("KVXTimer")};
};

} // namespace kvx
