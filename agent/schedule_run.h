#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "history/run_history.h"
#include "runs/run_summary.h"
#include "schedule/schedule.h"
#include "settings/login_settings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

namespace kvx {

class AgentPrompter;
class ExchangeRun;
class ProcessLock;
struct Services;

// One run of a schedule: its imports, then its exports, through the console's runs with
// nobody to answer, driven by the agent's event loop. Its report names the schedule and the
// time, then for each direction the counts, what the run said and the files exported.
// Beside it come the directions' own summaries: nobody watched the run, so whoever reads the
// report must also be able to tell whether it ended well.
class ScheduleRun : public QObject {
    Q_OBJECT
public:
    // `prompter` is the one of the services; the schedule's run lock is held until the end.
    ScheduleRun(Services& services, AgentPrompter& prompter, Schedule schedule,
                std::unique_ptr<ProcessLock> lock, QObject* parent = nullptr);
    ~ScheduleRun() override;

    void start();
    const QString& code() const { return m_schedule.code; }

Q_SIGNALS:
    // `runs`: one summary for each direction with items, imports first; a direction refused
    // for want of a login is one that ended refused.
    void finished(const QString& report, const QList<RunSummary>& runs);

private:
    // The direction's items through the console's run; then the next direction, or the end.
    void runItems(RunHistory::Direction direction);
    void onRunFinished(RunHistory::Direction direction, const RunSummary& summary);
    void next(RunHistory::Direction done);

    Services& m_services;
    AgentPrompter& m_prompter;
    Schedule m_schedule;
    std::unique_ptr<ProcessLock> m_lock;
    std::optional<LoginSettings> m_login;
    Catalogue m_catalogue;
    OperationsFile m_operations;
    QPointer<ExchangeRun> m_run;
    QStringList m_report;
    QList<RunSummary> m_runs;
};

} // namespace kvx
