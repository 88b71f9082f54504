#include "platform/single_instance.h"

#include "platform/process_lock.h"

#include <QCryptographicHash>
#include <QDir>

namespace kvx {

SingleInstanceGuard::SingleInstanceGuard(const QString& appFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir(appFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_lock = std::make_unique<ProcessLock>(
        QDir::temp().filePath(QStringLiteral("kvx-console-%1.lock").arg(QString::fromLatin1(key))));
    // A lock that cannot be made (no writable temporary folder) keeps nobody from working.
    m_first = m_lock->tryLock() != ProcessLock::State::Held;
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

} // namespace kvx
