#pragma once

#include <QString>

namespace kvx {

class ExchangeRun;
struct RequestProgress;

// The command line's progress of a run: on a terminal one line, rewritten in place, says which
// item is under way and how far its request is (records sent and their share, the time left,
// then how long the server has been working on it); elsewhere nothing is shown.
class TerminalProgress {
public:
    // `records`: how many records the document sent holds (0 when not known).
    explicit TerminalProgress(int records = 0)
        : m_records(records) {}

    // Shows the run's progress until it stops; the progress must outlive the run.
    void follow(const ExchangeRun& run);

    // The line for a request's progress, as shown.
    static QString waitingText(const RequestProgress& progress, int records);

private:
    int m_records;
    QString m_item;
};

} // namespace kvx
