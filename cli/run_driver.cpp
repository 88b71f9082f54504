#include "run_driver.h"

#include "plan_agent.h"
#include "runs/export_run.h"
#include "runs/import_run.h"
#include "terminal_progress.h"

#include <QCoreApplication>
#include <QTimer>
#include <functional>
#include <memory>

namespace kvx {

namespace {

// Calls `begin` once the event loop runs, so that a run ending at once (refused, or nothing to
// send) ends the loop as one ending later does; the loop runs until endLoop().
void inEventLoop(const std::function<void()>& begin) {
    QTimer::singleShot(0, QCoreApplication::instance(), begin);
    QCoreApplication::exec();
}

void endLoop() {
    QCoreApplication::exit(0);
}

} // namespace

RunSummary driveRun(Services& services, ExchangeRunInput input, RunHistory::Direction direction,
                    TerminalProgress& progress) {
    std::unique_ptr<ExchangeRun> run;
    if (direction == RunHistory::Direction::Import)
        run = std::make_unique<ImportRun>(services, std::move(input), nullptr);
    else
        run = std::make_unique<ExportRun>(services, std::move(input), nullptr);
    progress.follow(*run);
    QObject::connect(run.get(), &ExchangeRun::finished, run.get(), endLoop);
    inEventLoop([&run] { run->start(); });
    return run->summary();
}

bool driveScheduleRun(PlanAgent& agent, const QString& code, ScheduleOutcome* outcome,
                      QString* error) {
    // Connected before the run starts: one with nothing to send ends inside runNow.
    const QMetaObject::Connection done =
        QObject::connect(&agent, &PlanAgent::scheduleFinished, &agent,
                         [outcome](const QString& report, const QList<RunSummary>& runs) {
                             *outcome = {report, runs};
                             endLoop();
                         });
    bool started = false;
    inEventLoop([&] {
        started = agent.runNow(code, error);
        if (!started)
            endLoop();
    });
    QObject::disconnect(done);
    return started;
}

} // namespace kvx
