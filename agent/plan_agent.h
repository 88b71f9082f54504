#pragma once

#include "history/run_history.h"
#include "schedule/schedule.h"
#include "settings/login_settings.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace kvx {

class AgentPrompter;
struct Services;

// The plan agent's work: keeps the schedule file in view (read again whenever it changes)
// and runs each schedule's imports and exports when its time comes, through the console's
// runs with nobody to answer. A schedule's run time runs once at most: not again when the
// clock is set back (the run history keeps when each schedule last ran), and after a sleep
// only the latest time missed. A run that fell due before the agent started is not made up.
// A schedule runs in one process at a time: each run holds the schedule's run lock.
class PlanAgent : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString& line)>;

    // `prompter` is the one of the services.
    PlanAgent(Services& services, AgentPrompter& prompter, Log log);

    // Reads the schedule file when it is not the one read last; false when it cannot be
    // read. A damaged file keeps the schedules read before; a missing one has none. Either is
    // logged once until the file changes.
    bool refreshSchedules();
    const QList<Schedule>& schedules() const { return m_schedules; }

    // Runs the schedules whose time came since the last look (the first look: since the
    // agent was made), after reading the schedule file again if it changed.
    void checkDue();
    // Looks once a minute, a second into each minute, until the program ends.
    void start();

    // `--run-now CODE`: the schedule of exactly this code, read afresh, run at once under its
    // run lock; its report is logged. False, with *error, when there is no such schedule or
    // another process runs it now.
    bool runNow(const QString& code, QString* error);

    // Runs the schedule's imports, then its exports, now; returns its report, also logged.
    QString runSchedule(const Schedule& schedule);

private:
    // The schedule's run at a look, under its run lock; passed by when another process runs
    // it now or it ran at or after its run time (the history says so).
    void runDue(const Schedule& schedule, const QDateTime& runTime);
    // The start of the schedule's last run, by this agent or any other.
    QDateTime lastRun(const QString& code);
    // The schedule's imports or exports, through the console's run; the report's lines.
    QStringList runItems(const Schedule& schedule, const std::optional<LoginSettings>& login,
                         RunHistory::Direction direction);
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
    bool m_running = false;
    QTimer m_timer;
};

} // namespace kvx
