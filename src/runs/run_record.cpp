#include "runs/run_record.h"

#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

namespace kvx {

RunRecord::RunRecord(Services& services, RunHistory::Origin origin, RunHistory::Direction direction,
                     const QString& operatorName, const QString& senderCode)
    : m_services(services)
    , m_history(services.folder) {
    m_run.origin = origin;
    m_run.direction = direction;
    m_run.operatorName = operatorName;
    m_run.senderCode = senderCode;
}

void RunRecord::begin() {
    m_run.started = m_services.clock.now();
    m_history.beginRun(m_run);
    tellProblem();
}

void RunRecord::addItem(const RunHistory::Item& item) {
    m_history.addItem(item);
    tellProblem();
}

void RunRecord::finish(const QString& outcome, const QString& note) {
    m_history.finishRun(outcome, note, m_services.clock.now());
    tellProblem();
}

void RunRecord::tellProblem() {
    const QString problem = m_history.takeProblem();
    if (!problem.isEmpty())
        m_services.prompter.message(problem, SharedText::promptTitle(), Prompter::Icon::Warning);
}

} // namespace kvx
