#include "server/code_map.h"

#include "server/store_database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kvx {

bool CodeMap::add(const QString& roottag, const QString& sender, const QString& externalCode,
                  const QString& erpCode, QString* error) {
    // An empty code would turn a record's key into nothing.
    if (externalCode.trimmed().isEmpty() || erpCode.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("empty code in a code pair of %1").arg(roottag);
        return false;
    }
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO code_map(roottag, sender, external_code,"
                                 " erp_code) VALUES(?, ?, ?, ?)"));
    query.addBindValue(roottag);
    query.addBindValue(sender.trimmed());
    query.addBindValue(externalCode);
    query.addBindValue(erpCode);
    if (query.exec())
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

std::optional<CodeTranslation> CodeMap::load(const QString& sender, Direction direction,
                                             QString* error) const {
    CodeTranslation translation;
    QSqlQuery query(m_database.database());
    query.prepare(
        QStringLiteral("SELECT roottag, external_code, erp_code FROM code_map WHERE sender = ?"));
    query.addBindValue(sender.trimmed());
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return std::nullopt;
    }
    while (query.next()) {
        const QString external = query.value(1).toString();
        const QString erp = query.value(2).toString();
        if (direction == Direction::ToErp)
            translation.add(query.value(0).toString(), external, erp);
        else
            translation.add(query.value(0).toString(), erp, external);
    }
    return translation;
}

} // namespace kvx
