#include "runs/run_summary.h"

namespace kvx {

int RunSummary::refusedRecords() const {
    int refused = 0;
    for (const RunHistory::Item& item : items)
        refused += item.failed;
    return refused;
}

QString RunSummary::countsText() const {
    return QStringLiteral("成功 %1 项，失败 %2 项，结果未知 %3 项，未执行 %4 项，共 %5 项")
        .arg(exchanged)
        .arg(failed)
        .arg(unanswered)
        .arg(notRun())
        .arg(count);
}

} // namespace kvx
