#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <unordered_map>

namespace kvx {

// The server's SQLite file: one connection, the schema, and the pragmas that make a
// document's transaction survive a crash entirely or not at all.
class StoreDatabase {
public:
    StoreDatabase();
    ~StoreDatabase();
    StoreDatabase(const StoreDatabase&) = delete;
    StoreDatabase& operator=(const StoreDatabase&) = delete;

    // Opens (and creates when missing) the file and brings the schema up to date.
    bool open(const QString& path, QString* error = nullptr);
    QSqlDatabase database() const;
    // The store's file name, for messages.
    QString fileName() const;

    // True when the store holds neither operators nor records (a fresh file).
    bool isEmpty() const;

    bool execute(const QString& sql, QString* error = nullptr);
    // The statement prepared once on this connection and kept for reuse (preparing costs more
    // than running a small statement); null, with *error, when it cannot be prepared. Bind
    // values by position and exec() it.
    QSqlQuery* statement(const QString& sql, QString* error = nullptr);

private:
    bool createSchema(QString* error);

    QString m_connectionName;
    std::unordered_map<QString, QSqlQuery> m_statements;
};

} // namespace kvx
