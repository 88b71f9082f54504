#include "runs/run_record.h"

#include "platform/clock.h"
#include "platform/services.h"

namespace kvx {

RunRecord::RunRecord(Services& services, QObject* owner, RunHistory::Origin origin,
                     RunHistory::Direction direction, const QString& operatorName,
                     const QString& senderCode, std::function<void(const QString&)> tell)
    : m_services(services)
    , m_folder(services.folder)
    , m_tell(std::move(tell))
    , m_work(owner) {
    m_run.origin = origin;
    m_run.direction = direction;
    m_run.operatorName = operatorName;
    m_run.senderCode = senderCode;
}

RunRecord::~RunRecord() {
    // The connection is closed on the thread that opened it.
    m_work.post([this] { m_history.reset(); });
}

void RunRecord::begin() {
    m_run.started = m_services.clock.now();
    write([run = m_run](RunHistory& history) { history.beginRun(run); });
}

void RunRecord::addItem(const RunHistory::Item& item) {
    write([item](RunHistory& history) { history.addItem(item); });
}

void RunRecord::finish(const QString& outcome, const QString& note, std::function<void()> written) {
    write([outcome, note, finished = m_services.clock.now()](
              RunHistory& history) { history.finishRun(outcome, note, finished); },
          std::move(written));
}

void RunRecord::write(std::function<void(RunHistory&)> statement, std::function<void()> then) {
    m_work.post([this, statement = std::move(statement), then = std::move(then)] {
        if (!m_history)
            m_history = std::make_unique<RunHistory>(m_folder);
        statement(*m_history);
        const QString problem = m_history->takeProblem();
        if (problem.isEmpty() && !then)
            return;
        m_work.deliver([this, problem, then] {
            if (!problem.isEmpty())
                m_tell(problem);
            if (then)
                then();
        });
    });
}

} // namespace kvx
