#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

class QSqlQuery;

namespace kvx {

// A forward-reading record set of one query. It reads from its database's connection, so it
// must not outlive the Database that opened it.
class RecordSet {
public:
    RecordSet();
    explicit RecordSet(std::unique_ptr<QSqlQuery> query);
    RecordSet(RecordSet&&) noexcept;
    RecordSet& operator=(RecordSet&&) noexcept;
    ~RecordSet();

    bool atEnd() const { return !m_onRow; }
    // The field of the current row as text; empty at the end.
    QString field(const QString& name) const;
    void moveNext();

private:
    std::unique_ptr<QSqlQuery> m_query;
    bool m_onRow = false;
};

// One database file, opened by path. An SQLite file everywhere; on Windows a Jet/Access file
// (".mdb", ".accdb") is opened through ODBC. Values are always bound as parameters ("?" in
// the statement), never pasted into it, so quotes in names and texts are harmless.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file, creating an empty SQLite database when it does not exist.
    bool open(const QString& path, QString* error = nullptr);
    void close();
    bool isOpen() const { return !m_connection.isEmpty(); }
    QString path() const { return m_path; }

    bool execute(const QString& sql, const QVariantList& values = {}, QString* error = nullptr);
    // A record set of the query; `ok` is false (and the set empty) when the query fails.
    RecordSet query(const QString& sql, const QVariantList& values, bool* ok,
                    QString* error = nullptr);

    // Many statements in one transaction are written at once instead of one by one.
    bool transaction();
    bool commit(QString* error = nullptr);
    void rollback();

private:
    std::unique_ptr<QSqlQuery> prepare(const QString& sql, const QVariantList& values,
                                       QString* error);

    QString m_connection;
    QString m_path;
};

} // namespace kvx
