#include "exchange/run_history.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace kvx {

namespace {

const QStringList kSchema = {
    QStringLiteral("create table if not exists runs ("
                   "id integer primary key autoincrement, started text not null, "
                   "finished text, origin text not null, direction text not null, "
                   "operator text not null default '', sender text not null default '', "
                   "outcome text not null, note text not null default '')"),
    QStringLiteral("create table if not exists run_items ("
                   "id integer primary key autoincrement, "
                   "run_id integer not null references runs(id), position integer not null, "
                   "item text not null, file text not null default '', "
                   "succeeded integer not null default 0, failed integer not null default 0, "
                   "outcome text not null, report text not null default '', finished text)"),
    QStringLiteral("create index if not exists run_items_of_run on run_items(run_id)"),
};

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

QString originText(RunHistory::Origin origin) {
    return origin == RunHistory::Origin::Agent ? QStringLiteral("agent")
                                               : QStringLiteral("console");
}

QString directionText(RunHistory::Direction direction) {
    return direction == RunHistory::Direction::Export ? QStringLiteral("export")
                                                      : QStringLiteral("import");
}

QString newConnectionName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("kvx-run-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

QString RunHistory::relativePath() {
    return QStringLiteral("\\KVXRunHistory.db");
}

RunHistory::RunHistory(const AppFolder& folder)
    : m_connection(newConnectionName()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(folder.resolve(relativePath()));
    if (!db.open()) {
        m_error = db.lastError().text();
        return;
    }
    m_open = true;
    for (const QString& statement : kSchema)
        m_open = m_open && execute(statement, {});
}

RunHistory::~RunHistory() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool RunHistory::execute(const QString& sql, const QVariantList& values, qint64* insertedId) {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    bool ok = query.prepare(sql);
    // A null text would be stored as NULL; the columns hold empty texts instead.
    for (const QVariant& value : values)
        query.addBindValue(value.typeId() == QMetaType::QString && value.toString().isNull()
                               ? QVariant(QStringLiteral(""))
                               : value);
    ok = ok && query.exec();
    if (!ok)
        m_error = query.lastError().text();
    else if (insertedId)
        *insertedId = query.lastInsertId().toLongLong();
    return ok;
}

bool RunHistory::beginRun(const Run& run) {
    m_runId = 0;
    return m_open &&
           execute(QStringLiteral("insert into runs (started, origin, direction, operator, "
                                  "sender, outcome) values (?, ?, ?, ?, ?, 'running')"),
                   {timeText(run.started), originText(run.origin), directionText(run.direction),
                    run.operatorName, run.senderCode},
                   &m_runId);
}

bool RunHistory::addItem(const Item& item) {
    return m_open && m_runId != 0 &&
           execute(QStringLiteral("insert into run_items (run_id, position, item, file, "
                                  "succeeded, failed, outcome, report, finished) "
                                  "values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m_runId, item.position, item.item, item.file, item.succeeded, item.failed,
                    item.outcome, item.report, timeText(item.finished)});
}

bool RunHistory::finishRun(const QString& outcome, const QString& note, const QDateTime& finished) {
    return m_open && m_runId != 0 &&
           execute(QStringLiteral("update runs set outcome = ?, note = ?, finished = ? "
                                  "where id = ?"),
                   {outcome, note, timeText(finished), m_runId});
}

QList<RunHistory::Run> RunHistory::runs(int limit) const {
    QList<Run> result;
    if (!m_open)
        return result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("select id, started, finished, origin, direction, operator, "
                                 "sender, outcome, note from runs order by id desc limit ?"));
    query.addBindValue(limit);
    if (!query.exec())
        return result;
    while (query.next()) {
        Run run;
        run.id = query.value(0).toLongLong();
        run.started = QDateTime::fromString(query.value(1).toString(), Qt::ISODate);
        run.finished = QDateTime::fromString(query.value(2).toString(), Qt::ISODate);
        run.origin =
            query.value(3).toString() == QLatin1String("agent") ? Origin::Agent : Origin::Console;
        run.direction = query.value(4).toString() == QLatin1String("export") ? Direction::Export
                                                                             : Direction::Import;
        run.operatorName = query.value(5).toString();
        run.senderCode = query.value(6).toString();
        run.outcome = query.value(7).toString();
        run.note = query.value(8).toString();
        result.append(run);
    }
    return result;
}

QList<RunHistory::Item> RunHistory::items(qint64 runId) const {
    QList<Item> result;
    if (!m_open)
        return result;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("select position, item, file, succeeded, failed, outcome, "
                                 "report, finished from run_items where run_id = ? "
                                 "order by position, id"));
    query.addBindValue(runId);
    if (!query.exec())
        return result;
    while (query.next()) {
        Item item;
        item.position = query.value(0).toInt();
        item.item = query.value(1).toString();
        item.file = query.value(2).toString();
        item.succeeded = query.value(3).toInt();
        item.failed = query.value(4).toInt();
        item.outcome = query.value(5).toString();
        item.report = query.value(6).toString();
        item.finished = QDateTime::fromString(query.value(7).toString(), Qt::ISODate);
        result.append(item);
    }
    return result;
}

} // namespace kvx
