#pragma once

#include "runs/exchange_run.h"

#include <QString>

namespace kvx {

// The command line's host of a run: on a terminal one line, rewritten in place, says which
// item is under way and how far its request is (records sent and their share, the time left,
// then how long the server has been working on it); elsewhere nothing is shown. Nobody
// cancels.
class TerminalProgress : public RunHost {
public:
    // `records`: how many records the document sent holds (0 when not known).
    explicit TerminalProgress(int records = 0)
        : m_records(records) {}

    void runStarted() override {}
    void showProgress(const QString& text, int item, int count) override;
    void showWaiting(const RequestProgress& progress) override;
    bool cancelRequested() const override { return false; }
    void runFinished() override;

    // The line for a request's progress, as shown.
    static QString waitingText(const RequestProgress& progress, int records);

private:
    int m_records;
    QString m_item;
};

} // namespace kvx
