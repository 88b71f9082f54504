#include "server/store_transaction.h"

#include "server/store_database.h"

namespace kvx {

namespace {
const QString kRecordSavepoint = QStringLiteral("record");
}

StoreTransaction::StoreTransaction(StoreDatabase& database)
    : m_database(database) {
    m_active = m_database.execute(QStringLiteral("BEGIN IMMEDIATE"), &m_error);
}

StoreTransaction::~StoreTransaction() {
    if (m_active)
        m_database.execute(QStringLiteral("ROLLBACK"));
}

bool StoreTransaction::commit() {
    if (!m_active)
        return false;
    if (!m_database.execute(QStringLiteral("COMMIT"), &m_error))
        return false;
    m_active = false;
    return true;
}

bool StoreTransaction::beginRecord() {
    return m_database.execute(QStringLiteral("SAVEPOINT ") + kRecordSavepoint, &m_error);
}

void StoreTransaction::releaseRecord() {
    m_database.execute(QStringLiteral("RELEASE ") + kRecordSavepoint);
}

void StoreTransaction::rollbackRecord() {
    m_database.execute(QStringLiteral("ROLLBACK TO ") + kRecordSavepoint);
    m_database.execute(QStringLiteral("RELEASE ") + kRecordSavepoint);
}

} // namespace kvx
