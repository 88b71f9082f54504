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
    QSqlQuery* query =
        m_database.statement(QStringLiteral("SELECT path FROM key_paths WHERE roottag = ?"));
    if (!query)
        return kDefaultKeyPath;
    query->bindValue(0, roottag);
    QString path;
    if (query->exec() && query->next())
        path = query->value(0).toString().trimmed();
    query->finish();
    return path.isEmpty() ? kDefaultKeyPath : path;
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
    QSqlQuery* query = m_database.statement(
        QStringLiteral("SELECT id, xml FROM records WHERE roottag = ? AND record_key = ?"), error);
    if (!query)
        return std::nullopt;
    query->bindValue(0, roottag);
    query->bindValue(1, key);
    if (!query->exec()) {
        failed(*query, error);
        return std::nullopt;
    }
    std::optional<StoredRecord> found;
    if (query->next())
        found = StoredRecord{query->value(0).toLongLong(), key, query->value(1).toString()};
    query->finish();
    return found;
}

// The text is bound as the bytes it is (a QString would travel as UTF-16 and be converted back)
// and stored as text.
qint64 RecordTable::insert(const QString& roottag, const QString& key, const QByteArray& xml,
                           QString* error) {
    const Change change =
        run(QStringLiteral(
                "INSERT INTO records(roottag, record_key, xml) VALUES(?, ?, CAST(? AS TEXT))"),
            {roottag, key, xml}, error);
    return change.done ? change.lastId : 0;
}

qint64 RecordTable::insertIfNew(const QString& roottag, const QString& key, const QByteArray& xml,
                                QString* error) {
    const Change change = run(
        QStringLiteral("INSERT INTO records(roottag, record_key, xml) "
                       "VALUES(?, ?, CAST(? AS TEXT)) ON CONFLICT(roottag, record_key) DO NOTHING"),
        {roottag, key, xml}, error);
    if (!change.done)
        return -1;
    return change.rows > 0 ? change.lastId : 0;
}

bool RecordTable::update(qint64 id, const QByteArray& xml, QString* error) {
    return run(QStringLiteral("UPDATE records SET xml = CAST(? AS TEXT) WHERE id = ?"), {xml, id},
               error)
        .done;
}

bool RecordTable::remove(qint64 id, QString* error) {
    return run(QStringLiteral("DELETE FROM records WHERE id = ?"), {id}, error).done;
}

RecordTable::Change RecordTable::run(const QString& sql, const QVariantList& values,
                                     QString* error) {
    QSqlQuery* query = m_database.statement(sql, error);
    if (!query)
        return {};
    for (qsizetype i = 0; i < values.size(); ++i)
        query->bindValue(int(i), values[i]);
    Change change;
    change.done = query->exec();
    if (change.done) {
        change.rows = query->numRowsAffected();
        change.lastId = query->lastInsertId().toLongLong();
    } else {
        failed(*query, error);
    }
    query->finish(); // a statement left running would keep its lock
    return change;
}

bool RecordTable::forEach(
    const QString& roottag,
    const std::function<bool(const QString& key, const QByteArray& xml)>& visit,
    QString* error) const {
    QSqlQuery query(m_database.database());
    query.setForwardOnly(true);
    // As a blob the text comes as the UTF-8 bytes it is stored in, without two conversions.
    query.prepare(QStringLiteral("SELECT record_key, CAST(xml AS BLOB) FROM records "
                                 "WHERE roottag = ? ORDER BY record_key"));
    query.addBindValue(roottag);
    if (!query.exec())
        return failed(query, error);
    while (query.next()) {
        if (!visit(query.value(0).toString(), query.value(1).toByteArray()))
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
