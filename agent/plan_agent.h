#pragma once

#include "plan_schedule.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

namespace kvx {

class AgentPrompter;
class ScheduleRun;
struct Services;

// The plan agent's work: keeps the schedule file in view (read again whenever it changes)
// and runs each schedule's imports and exports when its time comes, through the console's
// runs with nobody to answer. A run that fell due while the agent was not running is not
// made up.
class PlanAgent : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString& line)>;

    // `prompter` is the one of the services.
    PlanAgent(Services& services, AgentPrompter& prompter, Log log);

    // Reads the schedule file when it is not the one read last; false when it cannot be
    // read (the schedules read before are kept).
    bool refreshSchedules();
    const QList<PlanSchedule>& schedules() const { return m_schedules; }

    // Runs the schedules whose time came since the last look (the first look: since the
    // agent was made), after reading the schedule file again if it changed.
    void checkDue();
    // Looks once a minute, a second into each minute, until the program ends.
    void start();

    // Runs the schedule's imports, then its exports: now, or after the schedules already
    // under way. Its report, also logged, comes with scheduleFinished.
    void runSchedule(const PlanSchedule& schedule);
    // True while a schedule runs or waits for its turn.
    bool isRunning() const;
    // The schedule of exactly this code, read afresh; none when the file or the code is not
    // there.
    std::optional<PlanSchedule> findSchedule(const QString& code);

Q_SIGNALS:
    void scheduleFinished(const QString& report);

private:
    void runNextSchedule();
    void scheduleNextLook();
    void logSchedules();

    Services& m_services;
    AgentPrompter& m_prompter;
    Log m_log;
    QList<PlanSchedule> m_schedules;
    QDateTime m_fileTime;
    qint64 m_fileSize = -1;
    bool m_fileMissingLogged = false;
    QDateTime m_lastLook;
    QPointer<ScheduleRun> m_current;
    QList<PlanSchedule> m_waiting;
    QTimer m_timer;
};

} // namespace kvx
