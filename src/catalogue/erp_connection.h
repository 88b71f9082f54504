#pragma once

#include <QString>
#include <optional>

namespace kvx {

class CatalogueTreeModel;

// The ERP database that the account subsystem adjustment of the catalogue tree reads. It is
// configured by the environment: KVX_ERP_DATABASE names the database (a file with the default
// driver), KVX_ERP_ACCOUNT the account id, KVX_ERP_DRIVER the Qt SQL driver (default
// QSQLITE). Without KVX_ERP_DATABASE there is no connection and the tree stays as loaded.
struct ErpConnection {
    QString driver;
    QString database;
    QString accountId;

    static std::optional<ErpConnection> fromEnvironment();

    // Opens the database for the moment and rearranges the tree for the account's enabled
    // modules. False, with *error, when the database cannot be read (the tree unchanged).
    bool adjustCatalogue(CatalogueTreeModel& tree, QString* error) const;
};

} // namespace kvx
