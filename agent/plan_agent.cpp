#include "plan_agent.h"

#include "due_time.h"
#include "history/run_history.h"
#include "platform/clock.h"
#include "platform/process_lock.h"
#include "platform/services.h"
#include "schedule/plan_agent_files.h"
#include "schedule/schedule_file.h"
#include "schedule_run.h"

#include <QFileInfo>
#include <algorithm>

namespace kvx {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

QString runningElsewhere(const QString& code) {
    return QStringLiteral("计划 %1 正由另一进程执行，此次不执行。").arg(code);
}

} // namespace

PlanAgent::PlanAgent(Services& services, AgentPrompter& prompter, Log log)
    : m_services(services)
    , m_prompter(prompter)
    , m_log(std::move(log))
    , m_lastLook(services.clock.now()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        checkDue();
        scheduleNextLook();
    });
}

PlanAgent::~PlanAgent() = default;

bool PlanAgent::refreshSchedules() {
    const QString path = m_services.folder.resolve(ScheduleFile::relativePath());
    const QFileInfo info(path);
    const FileSeen seen{info.exists() ? info.lastModified() : QDateTime(),
                        info.exists() ? info.size() : -1};
    if (m_fileSeen == seen)
        return m_fileRead;
    m_fileSeen = seen;
    ScheduleFile::Loaded loaded = ScheduleFile::load(path);
    m_fileRead = loaded.state == ScheduleFile::Loaded::State::Read;
    switch (loaded.state) {
    case ScheduleFile::Loaded::State::Missing:
        m_schedules.clear();
        m_log(loaded.message);
        break;
    case ScheduleFile::Loaded::State::Damaged:
        m_log(loaded.message + QStringLiteral("（沿用此前读到的计划）"));
        break;
    case ScheduleFile::Loaded::State::Read:
        m_schedules = Schedule::readAll(loaded.document);
        logSchedules();
        break;
    }
    return m_fileRead;
}

// The next run after the last look: one falling due at this look is named too.
void PlanAgent::logSchedules() {
    for (const Schedule& schedule : m_schedules) {
        QString line = QStringLiteral("计划 %1：").arg(schedule.code);
        QString problem;
        const std::optional<ScheduleTiming> timing = schedule.timing(&problem);
        if (!timing) {
            line += QStringLiteral("不执行，") + problem;
        } else if (const auto next = DueTime::nextRunAfter(*timing, m_lastLook)) {
            line += QStringLiteral("下次执行 ") + next->toString(kTimeFormat);
        } else {
            line += QStringLiteral("执行期间已过");
        }
        m_log(line);
    }
}

void PlanAgent::checkDue() {
    if (isRunning())
        return; // the next look after the run takes in the time it took
    refreshSchedules();
    const QDateTime now = m_services.clock.now();
    const QDateTime since = m_lastLook;
    m_lastLook = now;
    for (const Schedule& schedule : QList<Schedule>(m_schedules)) {
        const std::optional<ScheduleTiming> timing = schedule.timing();
        if (!timing)
            continue;
        if (const auto runTime =
                DueTime::dueRun(*timing, since, now, m_lastRuns.value(schedule.code)))
            runDue(schedule, *runTime);
    }
}

void PlanAgent::runDue(const Schedule& schedule, const QDateTime& runTime) {
    const QDateTime last = lastRun(schedule.code);
    if (last.isValid() && runTime <= last) {
        m_lastRuns.insert(schedule.code, last);
        m_log(QStringLiteral("计划 %1：%2 的执行已于 %3 开始，不再执行")
                  .arg(schedule.code, runTime.toString(kTimeFormat), last.toString(kTimeFormat)));
        return;
    }
    auto lock = std::make_unique<ProcessLock>(
        m_services.folder.resolve(PlanAgentFiles::runLockRelativePath(schedule.code)));
    QString error;
    switch (lock->tryLock(&error)) {
    case ProcessLock::State::Free:
        runSchedule(schedule, std::move(lock));
        return;
    case ProcessLock::State::Held:
        m_log(runningElsewhere(schedule.code));
        break;
    case ProcessLock::State::Unusable:
        m_log(QStringLiteral("计划 %1 不执行：").arg(schedule.code) + error);
        break;
    }
    // This run time is passed by; the next one is tried again.
    m_lastRuns.insert(schedule.code, runTime);
}

QDateTime PlanAgent::lastRun(const QString& code) {
    const QDateTime here = m_lastRuns.value(code);
    const QDateTime recorded =
        RunHistory(m_services.folder).lastStarted(RunHistory::Origin::Agent, code);
    return !recorded.isValid() || (here.isValid() && here > recorded) ? here : recorded;
}

void PlanAgent::start() {
    refreshSchedules();
    scheduleNextLook();
}

void PlanAgent::scheduleNextLook() {
    const QDateTime now = m_services.clock.now();
    const QDateTime nextMinute =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(61);
    m_timer.start(int(std::clamp<qint64>(now.msecsTo(nextMinute), 1000, 61000)));
}

bool PlanAgent::runNow(const QString& code, QString* error) {
    m_fileSeen.reset(); // read afresh
    refreshSchedules();
    const auto found =
        std::find_if(m_schedules.cbegin(), m_schedules.cend(),
                     [&](const Schedule& schedule) { return schedule.code == code; });
    if (found == m_schedules.cend()) {
        *error = QStringLiteral("没有注册编码为“%1”的计划。").arg(code);
        return false;
    }
    auto lock = std::make_unique<ProcessLock>(
        m_services.folder.resolve(PlanAgentFiles::runLockRelativePath(code)));
    switch (lock->tryLock(error)) {
    case ProcessLock::State::Free:
        runSchedule(*found, std::move(lock));
        return true;
    case ProcessLock::State::Held:
        *error = runningElsewhere(code);
        return false;
    case ProcessLock::State::Unusable:
        return false;
    }
    return false;
}

void PlanAgent::noteProblem(const QString& report, const QList<RunSummary>& runs) {
    if (std::none_of(runs.cbegin(), runs.cend(),
                     [](const RunSummary& run) { return run.hasProblem(); }))
        return;
    // The report's first line names the schedule and the time, which the summary says.
    const QString code = m_current->code();
    m_notifier.notify(QStringLiteral("计划 %1 的运行失败或结果未知").arg(code),
                      report.section(QLatin1Char('\n'), 1) +
                          QStringLiteral("\n详见控制台的运行记录。"));
}

bool PlanAgent::isRunning() const {
    return m_current || !m_waiting.empty();
}

void PlanAgent::runSchedule(const Schedule& schedule, std::unique_ptr<ProcessLock> lock) {
    m_waiting.push_back({schedule, std::move(lock)});
    if (!m_current)
        runNextSchedule();
}

void PlanAgent::runNextSchedule() {
    if (m_waiting.empty())
        return;
    Waiting next = std::move(m_waiting.front());
    m_waiting.erase(m_waiting.begin());
    m_lastRuns.insert(next.schedule.code, m_services.clock.now());
    m_current = new ScheduleRun(m_services, m_prompter, std::move(next.schedule),
                                std::move(next.lock), this);
    connect(m_current, &ScheduleRun::finished, this,
            [this](const QString& report, const QList<RunSummary>& runs) {
                m_log(report);
                noteProblem(report, runs);
                m_current->deleteLater();
                m_current = nullptr;
                Q_EMIT scheduleFinished(report, runs);
                runNextSchedule();
            });
    m_current->start();
}

} // namespace kvx
