#pragma once

#include <QString>

namespace kvx {

class StoreDatabase;

// One document, one transaction: BEGIN IMMEDIATE at construction, rolled back on
// destruction unless committed, so an early return or a crash leaves nothing half done.
class StoreTransaction {
public:
    explicit StoreTransaction(StoreDatabase& database);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    bool isActive() const { return m_active; }
    QString error() const { return m_error; }
    bool commit();

    // A record's changes inside the transaction: kept by release(), undone by rollback(),
    // without touching the other records of the document.
    bool beginRecord();
    void releaseRecord();
    void rollbackRecord();

private:
    StoreDatabase& m_database;
    bool m_active = false;
    QString m_error;
};

} // namespace kvx
