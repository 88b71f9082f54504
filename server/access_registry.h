#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

class StoreDatabase;

// The rights a login answer reports, by their keys.
namespace RightKey {
inline const QString Configure = QStringLiteral("KV020202");
inline const QString Execute = QStringLiteral("KV0203");
inline const QString Mail = QStringLiteral("KV0301");
inline const QStringList All = {Configure, Execute, Mail};
} // namespace RightKey

// Outcome of checking an operator, the password (its AscPwd value) and a sender code.
struct AccessCheck {
    bool granted = false;
    QString reason; // Chinese text for the operator when refused
    QStringList rights;

    bool hasRight(const QString& key) const { return rights.contains(key); }
};

// Operators with their rights and the registered sender codes.
class AccessRegistry {
public:
    explicit AccessRegistry(StoreDatabase& database)
        : m_database(database) {}

    bool addOperator(const QString& name, const QString& encryptedPassword,
                     const QStringList& rights, QString* error = nullptr);
    bool addSender(const QString& code, const QString& name, bool disabled = false,
                   QString* error = nullptr);

    // Checks, in this order, user name, password and sender code; the first failure gives
    // the reason. Codes and names are compared trimmed and with letter case.
    AccessCheck check(const QString& operatorName, const QString& encryptedPassword,
                      const QString& senderCode) const;

private:
    StoreDatabase& m_database;
};

} // namespace kvx
