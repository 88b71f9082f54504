#pragma once

#include <QByteArray>
#include <QString>

namespace kvx {

class XmlDocument;

// The document posted to the login page: an `opinfo` root declared "gb2312" with the
// attributes uid, pwd, date and sender, in this order.
struct LoginRequest {
    QString user;              // trimmed
    QString encryptedPassword; // AscPwd of the trimmed password
    QString date;
    QString sender; // trimmed

    XmlDocument toDocument() const;
    QByteArray toBytes() const;
};

} // namespace kvx
