#pragma once

#include "history/run_history.h"
#include "plan_schedule.h"
#include "platform/desktop_notifier.h"
#include "settings/login_settings.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace kvx {

class AgentPrompter;
struct Services;

// The plan agent's work: keeps the schedule file in view (read again whenever it changes)
// and runs each schedule's imports and exports when its time comes, through the console's
// runs with nobody to answer. A run that fell due while the agent was not running is not
// made up. A run that did not end well is also noted on the desktop, where the session offers
// notifications.
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

    // Runs the schedule's imports, then its exports, now; returns its report, also logged.
    QString runSchedule(const PlanSchedule& schedule);
    // The schedule of exactly this code, read afresh; none when the file or the code is not
    // there.
    std::optional<PlanSchedule> findSchedule(const QString& code);

private:
    // The schedule's imports or exports, through the console's run; the report's lines.
    // *problem is set when the run did not end well.
    QStringList runItems(const PlanSchedule& schedule, const std::optional<LoginSettings>& login,
                         RunHistory::Direction direction, bool* problem);
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
    bool m_running = false;
    QTimer m_timer;
    DesktopNotifier m_notifier{QStringLiteral("KVXTimer")};
};

} // namespace kvx
