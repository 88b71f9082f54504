#pragma once

#include "history/run_history.h"
#include "platform/serial_work.h"

#include <QString>
#include <functional>
#include <memory>

namespace kvx {

struct Services;

// A run's record in the run history, written as the run goes, so that a crash loses at most
// the item under way. The statements go to the history in order on a thread of their own: an
// item's report of megabytes never holds the run's window up. A history that cannot be
// written never stops the run: it is passed by, and `tell` gets what the operator is told of
// it, once, on the owner's thread.
class RunRecord {
public:
    RunRecord(Services& services, QObject* owner, RunHistory::Origin origin,
              RunHistory::Direction direction, const QString& operatorName,
              const QString& senderCode, std::function<void(const QString&)> tell);
    ~RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    void begin();
    void addItem(const RunHistory::Item& item);
    // "completed", "cancelled", "aborted" or "refused", with why it ended early; `written` on
    // the owner's thread once the whole record is in the history (or passed by).
    void finish(const QString& outcome, const QString& note, std::function<void()> written);

private:
    // Runs the statement on the history's thread; then any problem is told, then `then`.
    void write(std::function<void(RunHistory&)> statement, std::function<void()> then = {});

    Services& m_services;
    const AppFolder m_folder;
    std::function<void(const QString&)> m_tell;
    RunHistory::Run m_run;
    std::unique_ptr<RunHistory> m_history; // made, used and closed on the work's thread
    SerialWork m_work;                     // last: waits for the statements before the rest goes
};

} // namespace kvx
