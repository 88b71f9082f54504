#include "history/run_history.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
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
                   "outcome text not null, note text not null default '', "
                   "seen integer not null default 1)"),
    QStringLiteral("create table if not exists run_items ("
                   "id integer primary key autoincrement, "
                   "run_id integer not null references runs(id), position integer not null, "
                   "item text not null, file text not null default '', "
                   "succeeded integer not null default 0, failed integer not null default 0, "
                   "outcome text not null, report text not null default '', finished text, "
                   "operation text not null default '', conversion integer not null default 0, "
                   "failed_file text not null default '')"),
    // A run's items in their order, for the run history window.
    QStringLiteral("drop index if exists run_items_of_run"),
    QStringLiteral("create index if not exists run_items_in_order on run_items(run_id, position)"),
    // The run history window filters by these; the lines of one item, newest run first, are
    // read from the index in the order the window lists them.
    QStringLiteral("drop index if exists run_items_by_item"),
    QStringLiteral("create index if not exists run_items_of_item_newest_first "
                   "on run_items(item, run_id desc, position)"),
    QStringLiteral("create index if not exists runs_by_sender on runs(sender)"),
    QStringLiteral("create index if not exists runs_by_start on runs(started)"),
};

// Columns added since the first files were written, added to such a file when it is opened.
// The runs of an older file count as seen: the operator is not told of old news.
struct AddedColumn {
    QString table;
    QString name;
    QString type;
};
const QList<AddedColumn> kAddedColumns = {
    {QStringLiteral("run_items"), QStringLiteral("operation"),
     QStringLiteral("text not null default ''")},
    {QStringLiteral("run_items"), QStringLiteral("conversion"),
     QStringLiteral("integer not null default 0")},
    {QStringLiteral("run_items"), QStringLiteral("failed_file"),
     QStringLiteral("text not null default ''")},
    {QStringLiteral("runs"), QStringLiteral("seen"), QStringLiteral("integer not null default 1")},
};

// Indexes of added columns, made once the columns are there.
const QStringList kLaterIndexes = {
    // The plan agent's runs the operator has not looked at, asked for while the console runs.
    QStringLiteral("create index if not exists runs_unseen on runs(id) where seen = 0"),
};

// How long a writer waits for another's lock (the console's and the agent's runs).
constexpr int kBusyTimeoutMs = 10000;

// SQLite's codes of a file that is damaged (SQLITE_CORRUPT) or no database at all
// (SQLITE_NOTADB).
const QStringList kDamageCodes = {QStringLiteral("11"), QStringLiteral("26")};

// The problems of history files the operator has been told of in this process.
QMutex toldMutex;
QSet<QString> told;

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

QString directionText(RunHistory::Direction direction) {
    return direction == RunHistory::Direction::Export ? QStringLiteral("export")
                                                      : QStringLiteral("import");
}

const QString kInsertRun =
    QStringLiteral("insert into runs (started, origin, direction, operator, sender, outcome, "
                   "seen) values (?, ?, ?, ?, ?, 'running', ?)");

// The plan agent's runs wait until the operator has seen them.
QVariantList runValues(const RunHistory::Run& run) {
    return {timeText(run.started),
            RunHistory::storedOrigin(run.origin),
            directionText(run.direction),
            run.operatorName,
            run.senderCode,
            run.origin == RunHistory::Origin::Agent ? 0 : 1};
}

QString newConnectionName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("kvx-run-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

QString RunHistory::relativePath() {
    return QStringLiteral("\\KVXRunHistory.db");
}

QString RunHistory::storedOrigin(Origin origin) {
    switch (origin) {
    case Origin::Console:
        break;
    case Origin::Agent:
        return QStringLiteral("agent");
    case Origin::CommandLine:
        return QStringLiteral("cli");
    }
    return QStringLiteral("console");
}

RunHistory::Origin RunHistory::originOf(const QString& stored) {
    if (stored == QLatin1String("agent"))
        return Origin::Agent;
    if (stored == QLatin1String("cli"))
        return Origin::CommandLine;
    return Origin::Console;
}

QString RunHistory::originText(Origin origin) {
    switch (origin) {
    case Origin::Console:
        break;
    case Origin::Agent:
        return QStringLiteral("计划代理");
    case Origin::CommandLine:
        return QStringLiteral("命令行");
    }
    return QStringLiteral("控制台");
}

RunHistory::RunHistory(const AppFolder& folder)
    : m_connection(newConnectionName())
    , m_path(folder.resolve(relativePath())) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!open())
        failed(true);
}

RunHistory::~RunHistory() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool RunHistory::open() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.open()) {
        m_lastError = db.lastError();
        m_error = m_lastError.text();
        return false;
    }
    // A file that is no database shows it at the first statement.
    m_open = execute(QStringLiteral("pragma journal_mode = wal"), {});
    for (const QString& statement : kSchema)
        m_open = m_open && execute(statement, {});
    for (const QString& table : {QStringLiteral("runs"), QStringLiteral("run_items")}) {
        QSqlQuery columns(db);
        QStringList present;
        if (m_open && columns.exec(QStringLiteral("pragma table_info(%1)").arg(table))) {
            while (columns.next())
                present.append(columns.value(1).toString());
        }
        for (const AddedColumn& column : kAddedColumns) {
            if (m_open && column.table == table && !present.contains(column.name))
                m_open = execute(QStringLiteral("alter table %1 add column %2 %3")
                                     .arg(table, column.name, column.type),
                                 {});
        }
    }
    for (const QString& statement : kLaterIndexes)
        m_open = m_open && execute(statement, {});
    if (!m_open)
        db.close();
    return m_open;
}

QSqlDatabase RunHistory::database() const {
    return QSqlDatabase::database(m_connection, false);
}

void RunHistory::failed(bool opening) {
    const QString path = AppFolder::toNative(m_path);
    if (kDamageCodes.contains(m_lastError.nativeErrorCode())) {
        setAside();
        return;
    }
    if (opening)
        noteProblem(QStringLiteral("open"),
                    QStringLiteral("运行记录文件%1无法打开（%2），运行照常进行，但不记入运行记录。")
                        .arg(path, m_error));
    else
        noteProblem(
            QStringLiteral("write"),
            QStringLiteral("运行记录文件%1无法写入（%2），运行照常进行。").arg(path, m_error));
}

// The damaged file and its journal keep their bytes under a new name beside the history; the
// run's further records go to a new file.
void RunHistory::setAside() {
    m_open = false;
    m_runId = 0;
    QSqlDatabase::database(m_connection, false).close();
    const QFileInfo file(m_path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside;
    for (int n = 1; aside.isEmpty() || QFile::exists(aside); ++n)
        aside = file.dir().filePath(QStringLiteral("%1-损坏-%2%3.%4")
                                        .arg(file.completeBaseName(), stamp,
                                             n > 1 ? QStringLiteral("-%1").arg(n) : QString(),
                                             file.suffix()));
    const QString path = AppFolder::toNative(m_path);
    if (!QFile::rename(m_path, aside)) {
        noteProblem(QStringLiteral("damaged"),
                    QStringLiteral("运行记录文件%1已损坏，且无法改名保存，运行照常进行，但不记入"
                                   "运行记录。")
                        .arg(path));
        return;
    }
    for (const QString& journal : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::rename(m_path + journal, aside + journal);
    noteProblem(aside, QStringLiteral("运行记录文件%1已损坏，已改名为%2保存，新的运行记录将写入"
                                      "新文件。")
                           .arg(path, AppFolder::toNative(aside)));
    open();
}

void RunHistory::noteProblem(const QString& kind, const QString& text) {
    if (!m_problem.isEmpty())
        return;
    m_problem = text;
    m_problemKey = m_path + QLatin1Char('\n') + kind;
}

QString RunHistory::takeProblem() {
    const QMutexLocker lock(&toldMutex);
    if (m_problem.isEmpty() || told.contains(m_problemKey))
        return {};
    told.insert(m_problemKey);
    return m_problem;
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
    if (!ok) {
        m_lastError = query.lastError();
        m_error = m_lastError.text();
    } else if (insertedId) {
        *insertedId = query.lastInsertId().toLongLong();
    }
    return ok;
}

// A file found damaged while a run writes is set aside; the run's row is written again to the
// new file and the statement repeated there, so the run keeps its record from then on.
bool RunHistory::write(const QString& sql, const std::function<QVariantList()>& values,
                       qint64* insertedId) {
    if (!m_open)
        return false;
    if (execute(sql, values(), insertedId))
        return true;
    const bool damaged = kDamageCodes.contains(m_lastError.nativeErrorCode());
    failed(false);
    if (!damaged || !m_open)
        return false;
    if (insertedId != &m_runId && !insertRun())
        return false;
    return execute(sql, values(), insertedId);
}

bool RunHistory::insertRun() {
    return execute(kInsertRun, runValues(m_run), &m_runId);
}

bool RunHistory::beginRun(const Run& run) {
    m_run = run;
    m_runId = 0;
    return write(
        kInsertRun, [&run] { return runValues(run); }, &m_runId);
}

bool RunHistory::addItem(const Item& item) {
    return m_runId != 0 &&
           write(QStringLiteral("insert into run_items (run_id, position, item, file, "
                                "succeeded, failed, outcome, report, finished, operation, "
                                "conversion, failed_file) "
                                "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 [this, &item] {
                     return QVariantList{m_runId,
                                         item.position,
                                         item.item,
                                         item.file,
                                         item.succeeded,
                                         item.failed,
                                         item.outcome,
                                         item.report,
                                         timeText(item.finished),
                                         item.operation,
                                         item.conversion ? 1 : 0,
                                         item.failedRecordsFile};
                 });
}

bool RunHistory::finishRun(const QString& outcome, const QString& note, const QDateTime& finished) {
    return m_runId != 0 &&
           write(QStringLiteral("update runs set outcome = ?, note = ?, finished = ? "
                                "where id = ?"),
                 [&, this] {
                     return QVariantList{outcome, note, timeText(finished), m_runId};
                 });
}

QDateTime RunHistory::lastStarted(Origin origin, const QString& senderCode) const {
    if (!m_open)
        return {};
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("select max(started) from runs where origin = ? and sender = ?"));
    query.addBindValue(storedOrigin(origin));
    query.addBindValue(senderCode);
    if (!query.exec() || !query.next())
        return {};
    return QDateTime::fromString(query.value(0).toString(), Qt::ISODate);
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
        run.origin = originOf(query.value(3).toString());
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
                                 "report, finished, operation, conversion, failed_file "
                                 "from run_items where run_id = ? order by position, id"));
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
        item.operation = query.value(8).toString();
        item.conversion = query.value(9).toInt() != 0;
        item.failedRecordsFile = query.value(10).toString();
        result.append(item);
    }
    return result;
}

} // namespace kvx
