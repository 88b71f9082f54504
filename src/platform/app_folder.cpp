#include "platform/app_folder.h"

#include "platform/user_app_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kvx {

AppFolder::AppFolder(QString root)
    : m_root(QDir::cleanPath(std::move(root))) {}

AppFolder AppFolder::fromEnvironment() {
    return UserAppFolder::choose(QCoreApplication::applicationDirPath());
}

QString AppFolder::nativeRoot() const {
    return QDir::toNativeSeparators(m_root);
}

QString AppFolder::resolve(const QString& relativePath) const {
    QString path = m_root;
    const QStringList parts = QString(relativePath)
                                  .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool onDisk = true;
    for (const QString& part : parts) {
        QString component = part;
        if (onDisk && !QFileInfo::exists(path + QLatin1Char('/') + part)) {
            const QStringList entries = QDir(path).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
            onDisk = false;
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    component = entry;
                    onDisk = true;
                    break;
                }
            }
        }
        path += QLatin1Char('/') + component;
    }
    return path;
}

QString AppFolder::displayPath(const QString& relativePath) const {
    return toNative(resolve(relativePath));
}

QString AppFolder::toNative(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool AppFolder::makeWritable(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return false;
    return file.setPermissions(file.permissions() | QFileDevice::WriteOwner |
                               QFileDevice::WriteUser);
}

bool AppFolder::writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    return writeAtomically(
        path, [&](QIODevice& file) { return file.write(bytes) == bytes.size(); }, error);
}

bool AppFolder::writeAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                                QString* error) {
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else if (!write(file) || !file.flush()) {
        // QSaveFile's commit does not notice a buffer that its flush could write only in part
        // (a disk that fills up), and the system then names no error: the flush is checked
        // here, so that half a file never replaces the old one.
        reason = QStringLiteral("文件只写入了一部分，磁盘可能已满（%1）").arg(file.errorString());
    } else if (file.commit()) {
        return true;
    } else {
        reason = file.errorString();
    }
    if (error)
        *error = reason;
    return false;
}

} // namespace kvx
