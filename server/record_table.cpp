#include "server/record_table.h"

#include "server/store_database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kvx {

namespace {

const QString kDefaultKeyPath = QStringLiteral("code");

bool failed(const QSqlQuery& query, QString* error) {
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

QString RecordTable::keyPath(const QString& roottag) const {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("SELECT path FROM key_paths WHERE roottag = ?"));
    query.addBindValue(roottag);
    if (query.exec() && query.next() && !query.value(0).toString().trimmed().isEmpty())
        return query.value(0).toString().trimmed();
    return kDefaultKeyPath;
}

bool RecordTable::setKeyPath(const QString& roottag, const QString& path, QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO key_paths(roottag, path) VALUES(?, ?)"));
    query.addBindValue(roottag);
    query.addBindValue(path);
    return query.exec() || failed(query, error);
}

std::optional<StoredRecord> RecordTable::find(const QString& roottag, const QString& key,
                                              QString* error) const {
    QSqlQuery query(m_database.database());
    query.prepare(
        QStringLiteral("SELECT id, xml FROM records WHERE roottag = ? AND record_key = ?"));
    query.addBindValue(roottag);
    query.addBindValue(key);
    if (!query.exec()) {
        failed(query, error);
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return StoredRecord{query.value(0).toLongLong(), key, query.value(1).toString()};
}

qint64 RecordTable::insert(const QString& roottag, const QString& key, const QString& xml,
                           QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("INSERT INTO records(roottag, record_key, xml) VALUES(?, ?, ?)"));
    query.addBindValue(roottag);
    query.addBindValue(key);
    query.addBindValue(xml);
    if (!query.exec()) {
        failed(query, error);
        return 0;
    }
    return query.lastInsertId().toLongLong();
}

bool RecordTable::update(qint64 id, const QString& xml, QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("UPDATE records SET xml = ? WHERE id = ?"));
    query.addBindValue(xml);
    query.addBindValue(id);
    return query.exec() || failed(query, error);
}

bool RecordTable::remove(qint64 id, QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("DELETE FROM records WHERE id = ?"));
    query.addBindValue(id);
    return query.exec() || failed(query, error);
}

bool RecordTable::forEach(const QString& roottag,
                          const std::function<bool(const StoredRecord&)>& visit,
                          QString* error) const {
    QSqlQuery query(m_database.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT id, record_key, xml FROM records WHERE roottag = ? ORDER BY record_key"));
    query.addBindValue(roottag);
    if (!query.exec())
        return failed(query, error);
    while (query.next()) {
        if (!visit({query.value(0).toLongLong(), query.value(1).toString(),
                    query.value(2).toString()}))
            break;
    }
    return true;
}

int RecordTable::count(const QString& roottag) const {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM records WHERE roottag = ?"));
    query.addBindValue(roottag);
    return query.exec() && query.next() ? query.value(0).toInt() : 0;
}

} // namespace kvx
