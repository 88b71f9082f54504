#pragma once

#include "server/code_translation.h"

#include <QString>
#include <optional>

namespace kvx {

class StoreDatabase;

// The code map table: a sender's external codes and the ERP's own codes, per roottag.
class CodeMap {
public:
    enum class Direction { ToErp, ToExternal };

    explicit CodeMap(StoreDatabase& database)
        : m_database(database) {}

    bool add(const QString& roottag, const QString& sender, const QString& externalCode,
             const QString& erpCode, QString* error = nullptr);
    // Every pair of the sender, ready to translate one document's records; nothing when
    // the table cannot be read.
    std::optional<CodeTranslation> load(const QString& sender, Direction direction,
                                        QString* error = nullptr) const;

private:
    StoreDatabase& m_database;
};

} // namespace kvx
