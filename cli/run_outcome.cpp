#include "run_outcome.h"

#include <QJsonArray>

namespace kvx::RunOutcome {

namespace {

QString endText(RunSummary::End end) {
    switch (end) {
    case RunSummary::End::Refused:
        break;
    case RunSummary::End::Completed:
        return QStringLiteral("completed");
    case RunSummary::End::Cancelled:
        return QStringLiteral("cancelled");
    case RunSummary::End::Aborted:
        return QStringLiteral("aborted");
    }
    return QStringLiteral("refused");
}

} // namespace

ExitStatus statusOf(const RunSummary& summary) {
    if (summary.end == RunSummary::End::Refused)
        return ExitStatus::BadInput;
    if (summary.end == RunSummary::End::Aborted || summary.failed > 0 || summary.unanswered > 0)
        return ExitStatus::Unknown;
    if (summary.refusedRecords() > 0)
        return ExitStatus::RecordsRefused;
    return ExitStatus::Done;
}

QJsonObject jsonOf(const RunSummary& summary) {
    QJsonArray items;
    for (const RunHistory::Item& done : summary.items)
        items.append(QJsonObject{{"item", done.item},
                                 {"file", done.file},
                                 {"outcome", done.outcome},
                                 {"succeeded", done.succeeded},
                                 {"failed", done.failed},
                                 {"failedRecordsFile", done.failedRecordsFile},
                                 {"report", done.report}});
    return {{"outcome", endText(summary.end)}, {"items", items}};
}

} // namespace kvx::RunOutcome
