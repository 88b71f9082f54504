#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace kvx::test {

// A real SQLite file holding the ERP's table of enabled modules, ua_account_sub(cacc_id,
// csub_id, dsubsysused), open for as long as the object lives.
class AccountDatabase {
public:
    struct Row {
        QString account;
        QString subsystem;
        std::optional<QString> usedSince; // nullopt: NULL, the module is not enabled
    };

    AccountDatabase(const QString& path, const QList<Row>& rows);
    ~AccountDatabase();
    AccountDatabase(const AccountDatabase&) = delete;
    AccountDatabase& operator=(const AccountDatabase&) = delete;

    QSqlDatabase database() const { return QSqlDatabase::database(m_connection); }
    bool isReady() const { return m_ready; }

private:
    QString m_connection;
    bool m_ready = false;
};

} // namespace kvx::test
