#include "server/store_database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace kvx {

namespace {

QAtomicInteger<int> g_connectionCounter;

// Key columns are TEXT so that codes such as "00123" stay text.
const QStringList kSchema = {
    QStringLiteral("CREATE TABLE IF NOT EXISTS operators("
                   "name TEXT PRIMARY KEY, password TEXT NOT NULL)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS operator_rights("
                   "operator TEXT NOT NULL REFERENCES operators(name) ON DELETE CASCADE,"
                   " right_key TEXT NOT NULL, PRIMARY KEY(operator, right_key))"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS senders("
                   "code TEXT PRIMARY KEY, name TEXT NOT NULL DEFAULT '',"
                   " disabled INTEGER NOT NULL DEFAULT 0)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS key_paths("
                   "roottag TEXT PRIMARY KEY, path TEXT NOT NULL)"),
    // id doubles as the ERP's own number of a record (m6voucher_id); AUTOINCREMENT keeps
    // numbers of deleted records from coming back.
    QStringLiteral("CREATE TABLE IF NOT EXISTS records("
                   "id INTEGER PRIMARY KEY AUTOINCREMENT, roottag TEXT NOT NULL,"
                   " record_key TEXT NOT NULL, xml TEXT NOT NULL, UNIQUE(roottag, record_key))"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS code_map("
                   "roottag TEXT NOT NULL, sender TEXT NOT NULL, external_code TEXT NOT NULL,"
                   " erp_code TEXT NOT NULL, PRIMARY KEY(roottag, sender, external_code),"
                   " UNIQUE(roottag, sender, erp_code))"),
};

} // namespace

StoreDatabase::StoreDatabase()
    : m_connectionName(
          QStringLiteral("kvx-store-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

StoreDatabase::~StoreDatabase() {
    m_statements.clear(); // before the connection goes
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool StoreDatabase::open(const QString& path, QString* error) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    // WAL keeps readers and the one writer apart; FULL makes a committed document survive
    // a power cut as well as a killed process. The busy timeout lets a second process (an
    // inspection with sqlite3) wait instead of failing at once.
    const QStringList pragmas = {
        QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL"),
        QStringLiteral("PRAGMA foreign_keys=ON"), QStringLiteral("PRAGMA busy_timeout=5000")};
    for (const QString& pragma : pragmas) {
        if (!execute(pragma, error))
            return false;
    }
    return createSchema(error);
}

QSqlDatabase StoreDatabase::database() const {
    return QSqlDatabase::database(m_connectionName, false);
}

QString StoreDatabase::fileName() const {
    return QFileInfo(database().databaseName()).fileName();
}

bool StoreDatabase::isEmpty() const {
    QSqlQuery query(database());
    query.exec(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM operators) + (SELECT COUNT(*) FROM records)"));
    return query.next() && query.value(0).toLongLong() == 0;
}

bool StoreDatabase::execute(const QString& sql, QString* error) {
    QSqlQuery* query = statement(sql, error);
    if (!query)
        return false;
    const bool done = query->exec();
    if (!done && error)
        *error = query->lastError().text();
    query->finish(); // a statement left running would keep its lock
    return done;
}

QSqlQuery* StoreDatabase::statement(const QString& sql, QString* error) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end())
        return &found->second;
    QSqlQuery query(database());
    if (!query.prepare(sql)) {
        if (error)
            *error = query.lastError().text();
        return nullptr;
    }
    return &m_statements.emplace(sql, query).first->second;
}

bool StoreDatabase::createSchema(QString* error) {
    for (const QString& statement : kSchema) {
        if (!execute(statement, error))
            return false;
    }
    return true;
}

} // namespace kvx
