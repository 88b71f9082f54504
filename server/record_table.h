#pragma once

#include <QString>
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
    // The new record's id, or 0 on failure.
    qint64 insert(const QString& roottag, const QString& key, const QString& xml,
                  QString* error = nullptr);
    bool update(qint64 id, const QString& xml, QString* error = nullptr);
    bool remove(qint64 id, QString* error = nullptr);

    // Visits the records of a roottag in key order until the visitor returns false.
    bool forEach(const QString& roottag, const std::function<bool(const StoredRecord&)>& visit,
                 QString* error = nullptr) const;
    int count(const QString& roottag) const;

private:
    StoreDatabase& m_database;
};

} // namespace kvx
