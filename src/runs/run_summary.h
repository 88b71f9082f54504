#pragma once

#include "history/run_history.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvx {

// How a run ended, for callers without a window (and for tests).
struct RunSummary {
    enum class End {
        Refused,   // stopped before the first item (nothing selected, no condition file…)
        Completed, // went past the last item
        Cancelled, // the operator cancelled between items
        Aborted    // an error ended the run
    };
    End end = End::Refused;
    int count = 0;      // items in the selection
    int exchanged = 0;  // items whose server answer was read and kept
    int failed = 0;     // items that ended with a message (one that ended the run included)
    int unanswered = 0; // items sent but not answered: the server may have taken them
    QString report;     // the report as shown (an export's summary included)
    QStringList files;  // exports: the files written, in order
    // Imports: the files of failed records written, in order.
    QStringList failedRecordFiles;
    // The items reached, in list order, as the run history keeps them.
    QList<RunHistory::Item> items;

    // Items skipped (no file chosen) or never reached.
    int notRun() const { return count - exchanged - failed - unanswered; }
    // "成功 1 项，失败 0 项，结果未知 0 项，未执行 1 项，共 2 项"
    QString countsText() const;
    // Records the server refused, over every item.
    int refusedRecords() const;
    // Refused, ended by an error, or an item failed, had records refused or was not answered:
    // what the operator of an unattended run must be told of.
    bool hasProblem() const {
        return end == End::Refused || end == End::Aborted || failed > 0 || unanswered > 0 ||
               refusedRecords() > 0;
    }
};

} // namespace kvx
