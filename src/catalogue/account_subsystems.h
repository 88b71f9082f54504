#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace kvx {

class CatalogueTreeModel;

struct CatalogueMove {
    QString key;
    QString newParentKey;
    bool operator==(const CatalogueMove&) const = default;
};

// The ERP modules an account has enabled, as far as the catalogue tree cares: purchasing
// ("PU"), sales ("SA"), payables ("AP") and receivables ("AR").
struct AccountSubsystems {
    bool purchasing = false;
    bool sales = false;
    bool payables = false;
    bool receivables = false;

    // Reads the enabled modules of the account from ua_account_sub (rows whose dsubsysused is
    // set). The account id is bound as a parameter. Nothing when the query fails.
    static std::optional<AccountSubsystems>
    query(const QSqlDatabase& database, const QString& accountId, QString* error = nullptr);

    // Invoices of a module that is not used go to the module that settles them: "采购发票"
    // under "应付管理" when payables is used without purchasing, "销售发票" under "应收管理"
    // when receivables is used without sales.
    QList<CatalogueMove> catalogueMoves() const;
};

// Rearranges the catalogue tree for the account's enabled modules. False (tree unchanged)
// when the database cannot be read; moves whose nodes the tree lacks are left out.
bool adjustCatalogueForAccount(CatalogueTreeModel& tree, const QSqlDatabase& database,
                               const QString& accountId, QString* error = nullptr);

} // namespace kvx
