#pragma once

#include "history/run_history.h"

#include <QString>

namespace kvx {

struct Services;

// A run's record in the run history, written as the run goes, so that a crash loses at most
// the item under way. A history that cannot be written never stops the run: it is passed by,
// and the operator told once.
class RunRecord {
public:
    RunRecord(Services& services, RunHistory::Origin origin, RunHistory::Direction direction,
              const QString& operatorName, const QString& senderCode);

    void begin();
    void addItem(const RunHistory::Item& item);
    // "completed", "cancelled", "aborted" or "refused", with why it ended early.
    void finish(const QString& outcome, const QString& note);

private:
    void tellProblem();

    Services& m_services;
    RunHistory m_history;
    RunHistory::Run m_run;
};

} // namespace kvx
