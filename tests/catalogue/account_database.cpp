#include "account_database.h"

#include <QSqlQuery>
#include <QUuid>

namespace kvx::test {

AccountDatabase::AccountDatabase(const QString& path, const QList<Row>& rows)
    : m_connection(QUuid::createUuid().toString()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    if (!db.open())
        return;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "create table ua_account_sub (cacc_id text, csub_id text, dsubsysused text)")))
        return;
    query.prepare(QStringLiteral("insert into ua_account_sub values (?, ?, ?)"));
    for (const Row& row : rows) {
        query.addBindValue(row.account);
        query.addBindValue(row.subsystem);
        query.addBindValue(row.usedSince ? QVariant(*row.usedSince)
                                         : QVariant(QMetaType::fromType<QString>()));
        if (!query.exec())
            return;
    }
    m_ready = true;
}

AccountDatabase::~AccountDatabase() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

} // namespace kvx::test
