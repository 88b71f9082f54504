#include "plan_agent.h"

#include "agent_prompter.h"
#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "due_time.h"
#include "history/run_history.h"
#include "platform/clock.h"
#include "platform/process_lock.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/export_run.h"
#include "runs/import_run.h"
#include "schedule/plan_agent_files.h"
#include "schedule/schedule_file.h"
#include "settings/login_settings.h"

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
    if (m_running)
        return; // a run's requests let the event loop run; the next look comes after it
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
    ProcessLock lock(m_services.folder.resolve(PlanAgentFiles::runLockRelativePath(schedule.code)));
    QString error;
    switch (lock.tryLock(&error)) {
    case ProcessLock::State::Free:
        runSchedule(schedule);
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
    ProcessLock lock(m_services.folder.resolve(PlanAgentFiles::runLockRelativePath(code)));
    switch (lock.tryLock(error)) {
    case ProcessLock::State::Free:
        runSchedule(*found);
        return true;
    case ProcessLock::State::Held:
        *error = runningElsewhere(code);
        return false;
    case ProcessLock::State::Unusable:
        return false;
    }
    return false;
}

QString PlanAgent::runSchedule(const Schedule& schedule) {
    m_running = true;
    const QDateTime now = m_services.clock.now();
    m_lastRuns.insert(schedule.code, now);
    std::optional<LoginSettings> login = LoginSettings::load(m_services.folder);
    // The run's own day is its business date.
    if (login)
        login->businessDate = LoginSettings::formatDate(now.date());
    QStringList report{
        QStringLiteral("计划 %1 执行于 %2").arg(schedule.code, now.toString(kTimeFormat))};
    report << runItems(schedule, login, RunHistory::Direction::Import)
           << runItems(schedule, login, RunHistory::Direction::Export);
    const QString text = report.join(QLatin1Char('\n'));
    m_log(text);
    m_running = false;
    return text;
}

QStringList PlanAgent::runItems(const Schedule& schedule, const std::optional<LoginSettings>& login,
                                RunHistory::Direction direction) {
    const bool imports = direction == RunHistory::Direction::Import;
    const QList<ScheduledItem>& items = imports ? schedule.imports : schedule.exports;
    if (items.isEmpty())
        return {};
    if (!login) {
        // Without a login there is no server to ask: the run is refused, and kept so.
        const QString refusal =
            SharedText::fileMissing(m_services.folder.resolve(LoginSettings::relativePath()));
        const QDateTime now = m_services.clock.now();
        RunHistory history(m_services.folder);
        history.beginRun(
            {0, now, {}, RunHistory::Origin::Agent, direction, {}, schedule.code, {}, {}});
        history.finishRun(QStringLiteral("refused"), refusal, now);
        return {refusal};
    }
    Catalogue catalogue;
    catalogue.load(m_services.folder);
    OperationsFile operations;
    operations.load(m_services.folder);
    SilentRunHost host;
    ExchangeRunInput input;
    input.senderCode = schedule.code;
    input.login = *login;
    input.catalogue = &catalogue;
    input.operations = &operations;
    input.planConditions = true;
    input.origin = RunHistory::Origin::Agent;
    for (const ScheduledItem& item : items)
        input.items.append({item.label, item.operation, item.converts()});
    const RunSummary summary =
        imports ? RunImport(m_services, input, host) : RunExport(m_services, input, host);
    QStringList lines{QStringLiteral("%1 %2 项，成功 %3 项")
                          .arg(imports ? QStringLiteral("导入") : QStringLiteral("导出"))
                          .arg(summary.count)
                          .arg(summary.exchanged)};
    lines << m_prompter.takeLines();
    for (const QString& file : summary.files)
        lines << QStringLiteral("导出文件：") + AppFolder::toNative(file);
    return lines;
}

} // namespace kvx
