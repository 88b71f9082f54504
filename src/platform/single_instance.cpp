#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

namespace kvx {

SingleInstanceGuard::SingleInstanceGuard(const QString& appFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir(appFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_lock = std::make_unique<QLockFile>(
        QDir::temp().filePath(QStringLiteral("kvx-console-%1.lock").arg(QString::fromLatin1(key))));
    m_lock->setStaleLockTime(0);
    m_first = m_lock->tryLock(0);
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

} // namespace kvx
