#include "history/run_history_model.h"

#include "platform/app_folder.h"
#include "platform/shared_texts.h"

#include <QAtomicInteger>
#include <QHash>
#include <QSqlQuery>
#include <QThread>

namespace kvx {

namespace {

// A line's state, in SQL, so that the filter can ask for it.
const QString kState = QStringLiteral(
    "(case when i.id is null then r.outcome "
    "when i.outcome = 'exchanged' and i.failed > 0 then 'partial' else i.outcome end)");

const QString kLines = QStringLiteral(" from runs r left join run_items i on i.run_id = r.id ");

const QString kCrLf = SharedText::reportLineEnd();

// The filter as SQL conditions with their values, each condition after " and".
struct Conditions {
    QString sql;
    QVariantList values;

    explicit Conditions(const RunHistoryFilter& filter) {
        add(!filter.item.isEmpty(), QStringLiteral("i.item = ?"), filter.item);
        add(!filter.senderCode.isEmpty(), QStringLiteral("r.sender = ?"), filter.senderCode);
        add(!filter.state.isEmpty(), kState + QStringLiteral(" = ?"), filter.state);
        // Times are kept as ISO 8601 text, which sorts as the times do.
        add(filter.from.isValid(), QStringLiteral("r.started >= ?"),
            filter.from.toString(Qt::ISODate));
        add(filter.to.isValid(), QStringLiteral("r.started < ?"),
            filter.to.addDays(1).toString(Qt::ISODate));
        if (filter.problemsOnly)
            sql += QStringLiteral(" and ") + kState + QStringLiteral(" in (") +
                   RunHistoryRow::problemStates().join(QLatin1Char(',')) + QLatin1Char(')');
        // Numbers only: nothing of a text reaches the statement.
        if (filter.runIds) {
            QStringList ids;
            for (const qint64 id : *filter.runIds)
                ids.append(QString::number(id));
            sql += QStringLiteral(" and r.id in (") + ids.join(QLatin1Char(',')) + QLatin1Char(')');
        }
    }
    void add(bool used, const QString& condition, const QVariant& value) {
        if (!used)
            return;
        sql += QStringLiteral(" and ") + condition;
        values.append(value);
    }
};

QString directionText(RunHistory::Direction direction) {
    return direction == RunHistory::Direction::Export ? QStringLiteral("导出")
                                                      : QStringLiteral("导入");
}

QString timeText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

// The distinct values of an indexed column, found by one index seek per value rather than by
// reading every row: a history of a hundred thousand runs holds only a few items and codes.
QString distinctByIndex(const QString& column, const QString& table) {
    return QStringLiteral("with recursive v(x) as (select min(%1) from %2 where %1 > '' "
                          "union all select (select min(%1) from %2 where %1 > v.x) from v "
                          "where v.x is not null) select x from v where x is not null")
        .arg(column, table);
}

} // namespace

QString RunHistoryRow::stateText(const QString& state) {
    static const QHash<QString, QString> texts = {
        {QStringLiteral("exchanged"), QStringLiteral("成功")},
        {QStringLiteral("partial"), QStringLiteral("部分记录失败")},
        {QStringLiteral("failed"), QStringLiteral("失败")},
        {QStringLiteral("skipped"), QStringLiteral("未执行")},
        {QStringLiteral("unanswered"), QStringLiteral("结果未知")},
        {QStringLiteral("refused"), QStringLiteral("被拒绝")},
        {QStringLiteral("running"), QStringLiteral("未完成")},
        {QStringLiteral("cancelled"), QStringLiteral("已取消")},
        {QStringLiteral("aborted"), QStringLiteral("因错误中止")},
        {QStringLiteral("completed"), QStringLiteral("完成")}};
    return texts.value(state, state);
}

QStringList RunHistoryRow::problemStates() {
    return {QStringLiteral("'failed'"), QStringLiteral("'partial'"), QStringLiteral("'unanswered'"),
            QStringLiteral("'refused'"), QStringLiteral("'aborted'")};
}

QStringList RunHistoryRow::filterStates() {
    return {QStringLiteral("exchanged"),  QStringLiteral("partial"),   QStringLiteral("failed"),
            QStringLiteral("unanswered"), QStringLiteral("skipped"),   QStringLiteral("refused"),
            QStringLiteral("running"),    QStringLiteral("cancelled"), QStringLiteral("aborted")};
}

RunHistoryModel::RunHistoryModel(RunHistory& history, QObject* parent)
    : QAbstractTableModel(parent)
    , m_history(history) {}

RunHistoryModel::~RunHistoryModel() {
    for (QThread* thread : std::as_const(m_counting)) {
        thread->wait();
        delete thread;
    }
}

void RunHistoryModel::setFilter(const RunHistoryFilter& filter) {
    beginResetModel();
    m_filter = filter;
    m_rows.clear();
    if (m_history.isOpen())
        m_rows = readPage();
    m_more = m_rows.size() == kPageRows;
    m_matching = m_more ? -1 : int(m_rows.size());
    ++m_generation;
    endResetModel();
    if (m_more)
        count();
    else
        Q_EMIT counted(m_matching);
}

// Counting every matching line takes longer than reading a page: a connection of its own
// counts them meanwhile (the history is read and written at once in WAL mode).
void RunHistoryModel::count() {
    static QAtomicInteger<int> connections;
    const QString name =
        QStringLiteral("kvx-run-history-count-%1").arg(connections.fetchAndAddRelaxed(1));
    const Conditions conditions(m_filter);
    const QString sql =
        QStringLiteral("select count(*)") + kLines + QStringLiteral("where 1") + conditions.sql;
    const QString path = m_history.path();
    const int generation = m_generation;
    QThread* thread =
        QThread::create([this, name, sql, path, values = conditions.values, generation] {
            int lines = -1;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path);
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
                QSqlQuery query(db);
                if (db.open() && exec(query, sql, values) && query.next())
                    lines = query.value(0).toInt();
            }
            QSqlDatabase::removeDatabase(name);
            QMetaObject::invokeMethod(this, [this, lines, generation] {
                if (generation != m_generation || lines < 0)
                    return;
                m_matching = lines;
                Q_EMIT counted(lines);
            });
        });
    // Threads that have ended are let go as new ones start.
    for (qsizetype i = m_counting.size() - 1; i >= 0; --i) {
        if (m_counting[i]->isFinished())
            delete m_counting.takeAt(i);
    }
    m_counting.append(thread);
    thread->start();
}

// The page after the lines read so far, found by the last line's place rather than an offset,
// so that reading deep into the history costs no more than reading its start.
QList<RunHistoryRow> RunHistoryModel::readPage() const {
    Conditions conditions(m_filter);
    if (!m_rows.isEmpty()) {
        conditions.sql +=
            QStringLiteral(" and (r.id < ? or (r.id = ? and ifnull(i.position, 0) > ?))");
        conditions.values << m_rows.last().runId << m_rows.last().runId << m_rows.last().position;
    }
    QSqlQuery query(m_history.database());
    query.setForwardOnly(true);
    const QString sql =
        QStringLiteral("select r.id, ifnull(i.position, 0), r.started, r.origin, r.direction, "
                       "r.operator, r.sender, ifnull(i.item, ''), ifnull(i.succeeded, 0), "
                       "ifnull(i.failed, 0), ") +
        kState +
        QStringLiteral(", ifnull(i.failed_file, ''), ifnull(i.operation, ''), "
                       "ifnull(i.conversion, 0)") +
        kLines + QStringLiteral("where 1") + conditions.sql +
        // Every line of an item's filter has an item, so its run is the item's: ordered so, the
        // lines come straight from the item's index instead of being sorted first.
        (m_filter.item.isEmpty() ? QStringLiteral(" order by r.id desc, i.position")
                                 : QStringLiteral(" order by i.run_id desc, i.position")) +
        QStringLiteral(" limit %1").arg(kPageRows);
    QList<RunHistoryRow> rows;
    if (!exec(query, sql, conditions.values))
        return rows;
    while (query.next()) {
        RunHistoryRow row;
        row.runId = query.value(0).toLongLong();
        row.position = query.value(1).toInt();
        row.started = QDateTime::fromString(query.value(2).toString(), Qt::ISODate);
        row.origin = RunHistory::originOf(query.value(3).toString());
        row.direction = query.value(4).toString() == QLatin1String("export")
                            ? RunHistory::Direction::Export
                            : RunHistory::Direction::Import;
        row.operatorName = query.value(5).toString();
        row.senderCode = query.value(6).toString();
        row.item = query.value(7).toString();
        row.succeeded = query.value(8).toInt();
        row.failed = query.value(9).toInt();
        row.state = query.value(10).toString();
        row.failedRecordsFile = query.value(11).toString();
        row.operation = query.value(12).toString();
        row.conversion = query.value(13).toInt() != 0;
        rows.append(row);
    }
    return rows;
}

bool RunHistoryModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_more;
}

void RunHistoryModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    const QList<RunHistoryRow> page = readPage();
    m_more = page.size() == kPageRows;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows += page;
    endInsertRows();
}

int RunHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RunHistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant RunHistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const RunHistoryRow& row = m_rows.at(index.row());
    const bool counts = index.column() == Succeeded || index.column() == Failed;
    if (role == Qt::TextAlignmentRole)
        return counts ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    const bool hasItem = row.position > 0;
    switch (Column(index.column())) {
    case Time:
        return timeText(row.started);
    case Origin:
        return RunHistory::originText(row.origin);
    case Operator:
        return row.operatorName;
    case SenderCode:
        return row.senderCode;
    case Item:
        return row.item;
    case Direction:
        return directionText(row.direction);
    case Succeeded:
        return hasItem ? QVariant(row.succeeded) : QVariant();
    case Failed:
        return hasItem ? QVariant(row.failed) : QVariant();
    case State:
        return RunHistoryRow::stateText(row.state);
    }
    return {};
}

QVariant RunHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList captions = {
        QStringLiteral("时间"),     QStringLiteral("来源"),     QStringLiteral("操作员"),
        QStringLiteral("注册编码"), QStringLiteral("项目"),     QStringLiteral("方向"),
        QStringLiteral("成功记录"), QStringLiteral("失败记录"), QStringLiteral("结果")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions.value(section);
}

QStringList RunHistoryModel::distinct(const QString& sql) const {
    QStringList texts;
    QSqlQuery query(m_history.database());
    if (m_history.isOpen() && query.exec(sql)) {
        while (query.next())
            texts.append(query.value(0).toString());
    }
    return texts;
}

QStringList RunHistoryModel::itemLabels() const {
    return distinct(distinctByIndex(QStringLiteral("item"), QStringLiteral("run_items")));
}

QStringList RunHistoryModel::senderCodes() const {
    return distinct(distinctByIndex(QStringLiteral("sender"), QStringLiteral("runs")));
}

QString RunHistoryModel::runReport(qint64 runId) const {
    QSqlQuery query(m_history.database());
    if (!exec(query,
              QStringLiteral("select started, finished, origin, direction, operator, sender, "
                             "outcome, note from runs where id = ?"),
              {runId}) ||
        !query.next())
        return {};
    const auto time = [&query](int column) {
        return timeText(QDateTime::fromString(query.value(column).toString(), Qt::ISODate));
    };
    const bool exported = query.value(3).toString() == QLatin1String("export");
    QString text =
        QStringLiteral("%1 %2，%3至%4\r\n操作员：%5，注册编码：%6，结果：%7\r\n")
            .arg(RunHistory::originText(RunHistory::originOf(query.value(2).toString())),
                 directionText(exported ? RunHistory::Direction::Export
                                        : RunHistory::Direction::Import),
                 time(0), query.value(1).toString().isEmpty() ? QStringLiteral("—") : time(1),
                 query.value(4).toString(), query.value(5).toString(),
                 RunHistoryRow::stateText(query.value(6).toString()));
    if (!query.value(7).toString().isEmpty())
        text += query.value(7).toString() + kCrLf;
    for (const RunHistory::Item& item : m_history.items(runId)) {
        const bool partial = item.outcome == QLatin1String("exchanged") && item.failed > 0;
        text +=
            kCrLf + QStringLiteral("%1. %2：%3")
                        .arg(item.position)
                        .arg(item.item, RunHistoryRow::stateText(partial ? QStringLiteral("partial")
                                                                         : item.outcome));
        if (!item.file.isEmpty())
            text += QStringLiteral("，文件") + AppFolder::toNative(item.file);
        text += kCrLf + item.report;
        if (!item.report.endsWith(kCrLf))
            text += kCrLf;
    }
    return text;
}

} // namespace kvx
