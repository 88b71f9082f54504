#include "plan_agent.h"

#include "agent_prompter.h"
#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "due_time.h"
#include "history/run_history.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/export_run.h"
#include "runs/import_run.h"
#include "schedule/schedule_file.h"
#include "settings/login_settings.h"

#include <QFileInfo>

namespace kvx {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

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
    if (!info.exists()) {
        if (!m_fileMissingLogged)
            m_log(SharedText::fileMissing(path));
        m_fileMissingLogged = true;
        m_schedules.clear();
        m_fileSize = -1;
        return false;
    }
    m_fileMissingLogged = false;
    if (info.lastModified() == m_fileTime && info.size() == m_fileSize)
        return true;
    QString error;
    const XmlDocument document = XmlDocument::fromFile(path, &error);
    if (document.isNull()) {
        m_log(AppFolder::toNative(path) + QStringLiteral("无法读取：") + error);
        return false;
    }
    m_fileTime = info.lastModified();
    m_fileSize = info.size();
    m_schedules.clear();
    for (const XmlElement& element : document.root().select(QStringLiteral("schedule[@code]")))
        m_schedules.append(PlanSchedule::read(element));
    logSchedules();
    return true;
}

// The next run after the last look: one falling due at this look is named too.
void PlanAgent::logSchedules() {
    for (const PlanSchedule& schedule : m_schedules) {
        QString line = QStringLiteral("计划 %1：").arg(schedule.code);
        if (!schedule.problem.isEmpty()) {
            line += QStringLiteral("不执行，") + schedule.problem;
        } else if (const auto next = DueTime::nextRunAfter(schedule, m_lastLook)) {
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
    for (const PlanSchedule& schedule : QList<PlanSchedule>(m_schedules)) {
        if (schedule.problem.isEmpty() && DueTime::isDue(schedule, since, now))
            runSchedule(schedule);
    }
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

std::optional<PlanSchedule> PlanAgent::findSchedule(const QString& code) {
    m_fileSize = -1; // read afresh
    if (!refreshSchedules())
        return std::nullopt;
    for (const PlanSchedule& schedule : m_schedules) {
        if (schedule.code == code)
            return schedule;
    }
    return std::nullopt;
}

QString PlanAgent::runSchedule(const PlanSchedule& schedule) {
    m_running = true;
    const QDateTime now = m_services.clock.now();
    std::optional<LoginSettings> login = LoginSettings::load(m_services.folder);
    // The run's own day is its business date.
    if (login)
        login->businessDate = LoginSettings::formatDate(now.date());
    QStringList report{
        QStringLiteral("计划 %1 执行于 %2").arg(schedule.code, now.toString(kTimeFormat))};
    bool problem = false;
    report << runItems(schedule, login, RunHistory::Direction::Import, &problem)
           << runItems(schedule, login, RunHistory::Direction::Export, &problem);
    const QString text = report.join(QLatin1Char('\n'));
    m_log(text);
    if (problem)
        m_notifier.notify(QStringLiteral("计划 %1 的运行失败或结果未知").arg(schedule.code),
                          report.mid(1).join(QLatin1Char('\n')) +
                              QStringLiteral("\n详见控制台的运行记录。"));
    m_running = false;
    return text;
}

QStringList PlanAgent::runItems(const PlanSchedule& schedule,
                                const std::optional<LoginSettings>& login,
                                RunHistory::Direction direction, bool* problem) {
    const bool imports = direction == RunHistory::Direction::Import;
    const QList<PlanItem>& items = imports ? schedule.imports : schedule.exports;
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
        *problem = true;
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
    for (const PlanItem& item : items)
        input.items.append({item.label, item.operation, item.conversion});
    const RunSummary summary =
        imports ? RunImport(m_services, input, host) : RunExport(m_services, input, host);
    *problem = *problem || summary.hasProblem();
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
