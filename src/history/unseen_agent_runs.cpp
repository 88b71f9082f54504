#include "history/unseen_agent_runs.h"

#include "history/run_history.h"

#include <QSqlQuery>
#include <QStringList>

namespace kvx {

namespace {

// The agent's finished runs not yet seen; `seen = 0` is what the partial index holds.
const QString kUnseen = QStringLiteral("seen = 0 and origin = 'agent' and outcome <> 'running'");

const QString kProblem =
    QStringLiteral("(outcome in ('refused', 'aborted') or exists (select 1 from run_items i "
                   "where i.run_id = runs.id and (i.outcome in ('failed', 'unanswered') "
                   "or (i.outcome = 'exchanged' and i.failed > 0))))");

} // namespace

QList<qint64> UnseenAgentRuns::find(const RunHistory& history) {
    QList<qint64> ids;
    if (!history.isOpen())
        return ids;
    QSqlQuery query(history.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("select id from runs where ") + kUnseen +
                    QStringLiteral(" and ") + kProblem + QStringLiteral(" order by id")))
        return ids;
    while (query.next())
        ids.append(query.value(0).toLongLong());
    return ids;
}

bool UnseenAgentRuns::markSeen(const RunHistory& history, const QList<qint64>& ids) {
    if (!history.isOpen())
        return false;
    QStringList numbers;
    for (const qint64 id : ids)
        numbers.append(QString::number(id));
    QSqlQuery query(history.database());
    return (numbers.isEmpty() ||
            query.exec(QStringLiteral("update runs set seen = 1 where id in (%1)")
                           .arg(numbers.join(QLatin1Char(','))))) &&
           query.exec(QStringLiteral("update runs set seen = 1 where ") + kUnseen +
                      QStringLiteral(" and not ") + kProblem);
}

} // namespace kvx
