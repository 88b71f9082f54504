#pragma once

#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

namespace kvx {

class StoreDatabase;

// One record as stored: its serialized element and the key it is found by.
struct StoredRecord {
    qint64 id = 0; // also the ERP's own number of the record
    QString key;
    QString xml;
};

// The records of every exchange item, keyed by (roottag, key), and the key path of each
// roottag (default: the record's "code" child).
class RecordTable {
public:
    explicit RecordTable(StoreDatabase& database)
        : m_database(database) {}

    QString keyPath(const QString& roottag) const;
    bool setKeyPath(const QString& roottag, const QString& path, QString* error = nullptr);

    // Empty optional when there is no such record; *error is set when the lookup failed.
    std::optional<StoredRecord> find(const QString& roottag, const QString& key,
                                     QString* error = nullptr) const;
    // Records are written as their XML text in UTF-8.
    // The new record's id, or 0 on failure.
    qint64 insert(const QString& roottag, const QString& key, const QByteArray& xml,
                  QString* error = nullptr);
    // The new record's id; 0 when a record with the key is already there, -1 on failure.
    qint64 insertIfNew(const QString& roottag, const QString& key, const QByteArray& xml,
                       QString* error = nullptr);
    bool update(qint64 id, const QByteArray& xml, QString* error = nullptr);
    bool remove(qint64 id, QString* error = nullptr);

    // Visits the records of a roottag in key order, with their key and XML text in UTF-8, until
    // the visitor returns false.
    bool forEach(const QString& roottag,
                 const std::function<bool(const QString& key, const QByteArray& xml)>& visit,
                 QString* error = nullptr) const;
    int count(const QString& roottag) const;

private:
    struct Change {
        bool done = false;
        int rows = 0;
        qint64 lastId = 0;
    };
    // Runs the statement (prepared once) with the values; *error when it fails.
    Change run(const QString& sql, const QVariantList& values, QString* error);

    StoreDatabase& m_database;
};

} // namespace kvx
