#include "platform/database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace kvx {

namespace {

QString connectionName() {
    static QAtomicInteger<int> counter;
    return QStringLiteral("kvx-database-%1").arg(counter.fetchAndAddRelaxed(1));
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

bool isAccessFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mdb") || suffix == QLatin1String("accdb");
}

QSqlDatabase addConnection(const QString& path, const QString& name) {
#ifdef Q_OS_WIN
    if (isAccessFile(path)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(
            QStringLiteral("DRIVER={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=%1").arg(path));
        return db;
    }
#endif
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    return db;
}

} // namespace

RecordSet::RecordSet() = default;

RecordSet::RecordSet(std::unique_ptr<QSqlQuery> query)
    : m_query(std::move(query)) {
    m_onRow = m_query && m_query->next();
}

RecordSet::RecordSet(RecordSet&&) noexcept = default;
RecordSet& RecordSet::operator=(RecordSet&&) noexcept = default;
RecordSet::~RecordSet() = default;

QString RecordSet::field(const QString& name) const {
    return m_onRow ? m_query->value(name).toString() : QString();
}

void RecordSet::moveNext() {
    m_onRow = m_onRow && m_query->next();
}

Database::Database() = default;

Database::~Database() {
    close();
}

bool Database::open(const QString& path, QString* error) {
    close();
#ifndef Q_OS_WIN
    if (isAccessFile(path)) {
        setError(error, QStringLiteral("%1：本系统无法打开 Access 数据库").arg(path));
        return false;
    }
#endif
    const QString name = connectionName();
    {
        QSqlDatabase db = addConnection(path, name);
        if (db.open()) {
            m_connection = name;
            m_path = path;
            return true;
        }
        setError(error, path + QStringLiteral("：") + db.lastError().text());
    }
    QSqlDatabase::removeDatabase(name);
    return false;
}

void Database::close() {
    if (m_connection.isEmpty())
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
    m_path.clear();
}

std::unique_ptr<QSqlQuery> Database::prepare(const QString& sql, const QVariantList& values,
                                             QString* error) {
    if (!isOpen()) {
        setError(error, QStringLiteral("数据库未打开"));
        return nullptr;
    }
    auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        setError(error, query->lastError().text());
        return nullptr;
    }
    for (const QVariant& value : values)
        query->addBindValue(value);
    if (!query->exec()) {
        setError(error, query->lastError().text());
        return nullptr;
    }
    return query;
}

bool Database::execute(const QString& sql, const QVariantList& values, QString* error) {
    return prepare(sql, values, error) != nullptr;
}

RecordSet Database::query(const QString& sql, const QVariantList& values, bool* ok,
                          QString* error) {
    std::unique_ptr<QSqlQuery> query = prepare(sql, values, error);
    if (ok)
        *ok = query != nullptr;
    return RecordSet(std::move(query));
}

bool Database::transaction() {
    return isOpen() && QSqlDatabase::database(m_connection, false).transaction();
}

bool Database::commit(QString* error) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (db.commit())
        return true;
    setError(error, db.lastError().text());
    return false;
}

void Database::rollback() {
    if (isOpen())
        QSqlDatabase::database(m_connection, false).rollback();
}

} // namespace kvx
