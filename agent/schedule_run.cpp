#include "schedule_run.h"

#include "agent_prompter.h"
#include "platform/clock.h"
#include "platform/process_lock.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/export_run.h"
#include "runs/import_run.h"

namespace kvx {

ScheduleRun::ScheduleRun(Services& services, AgentPrompter& prompter, Schedule schedule,
                         std::unique_ptr<ProcessLock> lock, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_prompter(prompter)
    , m_schedule(std::move(schedule))
    , m_lock(std::move(lock)) {}

ScheduleRun::~ScheduleRun() = default;

void ScheduleRun::start() {
    const QDateTime now = m_services.clock.now();
    m_login = LoginSettings::load(m_services.folder);
    // The run's own day is its business date.
    if (m_login)
        m_login->businessDate = LoginSettings::formatDate(now.date());
    m_report =
        QStringList{QStringLiteral("计划 %1 执行于 %2")
                        .arg(m_schedule.code, now.toString(QStringLiteral("yyyy-MM-dd HH:mm")))};
    m_catalogue.load(m_services.folder);
    m_operations.load(m_services.folder);
    runItems(RunHistory::Direction::Import);
}

void ScheduleRun::runItems(RunHistory::Direction direction) {
    const bool imports = direction == RunHistory::Direction::Import;
    const QList<ScheduledItem>& items = imports ? m_schedule.imports : m_schedule.exports;
    if (items.isEmpty()) {
        next(direction);
        return;
    }
    if (!m_login) {
        // Without a login there is no server to ask: the run is refused, and kept so.
        const QString refusal =
            SharedText::fileMissing(m_services.folder.resolve(LoginSettings::relativePath()));
        const QDateTime now = m_services.clock.now();
        RunHistory history(m_services.folder);
        history.beginRun(
            {0, now, {}, RunHistory::Origin::Agent, direction, {}, m_schedule.code, {}, {}});
        history.finishRun(QStringLiteral("refused"), refusal, now);
        m_report << refusal;
        RunSummary refused;
        refused.count = int(items.size());
        m_runs << refused;
        next(direction);
        return;
    }
    ExchangeRunInput input;
    input.senderCode = m_schedule.code;
    input.login = *m_login;
    input.catalogue = &m_catalogue;
    input.operations = &m_operations;
    input.planConditions = true;
    input.origin = RunHistory::Origin::Agent;
    for (const ScheduledItem& item : items)
        input.items.append({item.label, item.operation, item.converts()});
    if (imports)
        m_run = new ImportRun(m_services, std::move(input), this);
    else
        m_run = new ExportRun(m_services, std::move(input), this);
    connect(m_run, &ExchangeRun::finished, this,
            [this, direction](const RunSummary& summary) { onRunFinished(direction, summary); });
    m_run->start();
}

void ScheduleRun::onRunFinished(RunHistory::Direction direction, const RunSummary& summary) {
    m_runs << summary;
    const bool imports = direction == RunHistory::Direction::Import;
    m_report << QStringLiteral("%1 %2 项，成功 %3 项")
                    .arg(imports ? QStringLiteral("导入") : QStringLiteral("导出"))
                    .arg(summary.count)
                    .arg(summary.exchanged)
             << m_prompter.takeLines();
    for (const QString& file : summary.files)
        m_report << QStringLiteral("导出文件：") + AppFolder::toNative(file);
    m_run->deleteLater();
    next(direction);
}

void ScheduleRun::next(RunHistory::Direction done) {
    if (done == RunHistory::Direction::Import)
        runItems(RunHistory::Direction::Export);
    else
        Q_EMIT finished(m_report.join(QLatin1Char('\n')), m_runs);
}

} // namespace kvx
