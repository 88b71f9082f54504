#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "history/run_history.h"
#include "plan_schedule.h"
#include "settings/login_settings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <optional>

namespace kvx {

class AgentPrompter;
class ExchangeRun;
struct RunSummary;
struct Services;

// One run of a schedule: its imports, then its exports, through the console's runs with
// nobody to answer, driven by the agent's event loop. Its report names the schedule and the
// time, then for each direction the counts, what the run said and the files exported.
class ScheduleRun : public QObject {
    Q_OBJECT
public:
    // `prompter` is the one of the services.
    ScheduleRun(Services& services, AgentPrompter& prompter, PlanSchedule schedule,
                QObject* parent = nullptr);

    void start();

Q_SIGNALS:
    void finished(const QString& report);

private:
    // The direction's items through the console's run; then the next direction, or the end.
    void runItems(RunHistory::Direction direction);
    void onRunFinished(RunHistory::Direction direction, const RunSummary& summary);
    void next(RunHistory::Direction done);

    Services& m_services;
    AgentPrompter& m_prompter;
    PlanSchedule m_schedule;
    std::optional<LoginSettings> m_login;
    Catalogue m_catalogue;
    OperationsFile m_operations;
    QPointer<ExchangeRun> m_run;
    QStringList m_report;
};

} // namespace kvx
