#include "platform/password_encryptor.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>

namespace kvx {

QString PasswordEncryptor::ascPwd(const QString& text) const {
    const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(
        QCryptographicHash::Sha256, text.toUtf8(), QByteArrayLiteral("KVXEncrypt"), 10000, 32);
    return QString::fromLatin1(key.toHex());
}

} // namespace kvx
