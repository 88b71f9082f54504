#include "server/access_registry.h"

#include "server/store_database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kvx {

namespace {

bool report(const QSqlQuery& query, QString* error) {
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

bool AccessRegistry::addOperator(const QString& name, const QString& encryptedPassword,
                                 const QStringList& rights, QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO operators(name, password) VALUES(?, ?)"));
    query.addBindValue(name.trimmed());
    query.addBindValue(encryptedPassword);
    if (!query.exec())
        return report(query, error);
    for (const QString& right : rights) {
        query.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO operator_rights(operator, right_key) VALUES(?, ?)"));
        query.addBindValue(name.trimmed());
        query.addBindValue(right);
        if (!query.exec())
            return report(query, error);
    }
    return true;
}

bool AccessRegistry::addSender(const QString& code, const QString& name, bool disabled,
                               QString* error) {
    QSqlQuery query(m_database.database());
    query.prepare(
        QStringLiteral("INSERT OR REPLACE INTO senders(code, name, disabled) VALUES(?, ?, ?)"));
    query.addBindValue(code.trimmed());
    query.addBindValue(name);
    query.addBindValue(disabled ? 1 : 0);
    return query.exec() || report(query, error);
}

AccessCheck AccessRegistry::check(const QString& operatorName, const QString& encryptedPassword,
                                  const QString& senderCode) const {
    AccessCheck result;
    const QString name = operatorName.trimmed();
    const QString code = senderCode.trimmed();
    if (name.isEmpty()) {
        result.reason = QStringLiteral("用户名不能为空！");
        return result;
    }
    QSqlQuery query(m_database.database());
    query.prepare(QStringLiteral("SELECT password FROM operators WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec()) {
        result.reason = QStringLiteral("读取用户失败：%1").arg(query.lastError().text());
        return result;
    }
    if (!query.next()) {
        result.reason = QStringLiteral("用户“%1”不存在！").arg(name);
        return result;
    }
    if (query.value(0).toString() != encryptedPassword.trimmed()) {
        result.reason = QStringLiteral("用户“%1”的密码不正确！").arg(name);
        return result;
    }
    if (code.isEmpty()) {
        result.reason = QStringLiteral("注册号不能为空！");
        return result;
    }
    query.prepare(QStringLiteral("SELECT disabled FROM senders WHERE code = ?"));
    query.addBindValue(code);
    if (!query.exec()) {
        result.reason = QStringLiteral("读取注册号失败：%1").arg(query.lastError().text());
        return result;
    }
    if (!query.next()) {
        result.reason = QStringLiteral("注册号“%1”不存在！").arg(code);
        return result;
    }
    if (query.value(0).toInt() != 0) {
        result.reason = QStringLiteral("注册号“%1”已停用！").arg(code);
        return result;
    }
    query.prepare(QStringLiteral("SELECT right_key FROM operator_rights WHERE operator = ?"));
    query.addBindValue(name);
    if (query.exec()) {
        while (query.next())
            result.rights.append(query.value(0).toString());
    }
    result.granted = true;
    return result;
}

} // namespace kvx
