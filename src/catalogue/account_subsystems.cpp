#include "catalogue/account_subsystems.h"

#include "catalogue/catalogue_tree_model.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kvx {

std::optional<AccountSubsystems>
AccountSubsystems::query(const QSqlDatabase& database, const QString& accountId, QString* error) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const bool ok =
        query.prepare(QStringLiteral("select csub_id from ua_account_sub where cacc_id = ? "
                                     "and dsubsysused is not null"));
    if (ok)
        query.addBindValue(accountId);
    if (!ok || !query.exec()) {
        if (error)
            *error = QStringLiteral("无法读取账套启用的模块：") + query.lastError().text();
        return std::nullopt;
    }
    AccountSubsystems used;
    while (query.next()) {
        // Fixed-width columns come back padded with blanks.
        const QString subsystem = query.value(0).toString().trimmed();
        if (subsystem == QLatin1String("PU"))
            used.purchasing = true;
        else if (subsystem == QLatin1String("SA"))
            used.sales = true;
        else if (subsystem == QLatin1String("AP"))
            used.payables = true;
        else if (subsystem == QLatin1String("AR"))
            used.receivables = true;
    }
    return used;
}

QList<CatalogueMove> AccountSubsystems::catalogueMoves() const {
    QList<CatalogueMove> moves;
    if (payables && !purchasing)
        moves.append({QStringLiteral("采购发票"), QStringLiteral("应付管理")});
    if (receivables && !sales)
        moves.append({QStringLiteral("销售发票"), QStringLiteral("应收管理")});
    return moves;
}

bool adjustCatalogueForAccount(CatalogueTreeModel& tree, const QSqlDatabase& database,
                               const QString& accountId, QString* error) {
    const std::optional<AccountSubsystems> used =
        AccountSubsystems::query(database, accountId, error);
    if (!used)
        return false;
    for (const CatalogueMove& move : used->catalogueMoves())
        tree.moveNode(move.key, move.newParentKey);
    return true;
}

} // namespace kvx
