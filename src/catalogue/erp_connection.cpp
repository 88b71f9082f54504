#include "catalogue/erp_connection.h"

#include "catalogue/account_subsystems.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace kvx {

std::optional<ErpConnection> ErpConnection::fromEnvironment() {
    const QString database = qEnvironmentVariable("KVX_ERP_DATABASE");
    if (database.isEmpty())
        return std::nullopt;
    const QString driver = qEnvironmentVariable("KVX_ERP_DRIVER");
    return ErpConnection{driver.isEmpty() ? QStringLiteral("QSQLITE") : driver, database,
                         qEnvironmentVariable("KVX_ERP_ACCOUNT")};
}

bool ErpConnection::adjustCatalogue(CatalogueTreeModel& tree, QString* error) const {
    const QString name = QStringLiteral("kvx-erp");
    bool adjusted = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        db.setDatabaseName(database);
        // A missing SQLite file would be created empty; the ERP's is only ever read.
        if (driver == QLatin1String("QSQLITE"))
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            *error = QStringLiteral("无法连接ERP数据库：") + db.lastError().text();
        else
            adjusted = adjustCatalogueForAccount(tree, db, accountId, error);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return adjusted;
}

} // namespace kvx
