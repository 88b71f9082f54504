#include "platform/mail/drop_folder_carrier.h"

#include <QDir>
#include <QFile>

namespace kvx {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

DropFolderCarrier::DropFolderCarrier(QString outbox, QString inbox, QString tag)
    : m_outbox(std::move(outbox))
    , m_inbox(std::move(inbox))
    , m_tag(std::move(tag)) {}

bool DropFolderCarrier::send(const QString& databasePath, const QString& mailName, QString* error) {
    const QDir outbox(m_outbox);
    if (!outbox.exists()) {
        *error = QStringLiteral("发件目录不存在：") + native(m_outbox);
        return false;
    }
    // Copied under a name no receiver takes, then renamed: the rename is atomic.
    const QString partial = outbox.filePath(QLatin1Char('.') + mailName + QStringLiteral(".part"));
    const QString target = outbox.filePath(mailName);
    QFile::remove(partial);
    if (!QFile::copy(databasePath, partial) || !QFile::rename(partial, target)) {
        QFile::remove(partial);
        *error = QStringLiteral("无法写入发件目录：") + native(target);
        return false;
    }
    return true;
}

QStringList DropFolderCarrier::waitingMails(QString* error) {
    const QDir inbox(m_inbox);
    if (!inbox.exists()) {
        *error = QStringLiteral("收件目录不存在：") + native(m_inbox);
        return {};
    }
    // Mail names carry the time they were sent, so name order is arrival order.
    return inbox.entryList({m_tag + QLatin1Char('*')}, QDir::Files | QDir::Readable,
                           QDir::Name | QDir::IgnoreCase);
}

MailCarrier::Fetched DropFolderCarrier::fetch(const QString& key, const QString& databasePath,
                                              QString* error) {
    const QString source = QDir(m_inbox).filePath(key);
    if (QFile::copy(source, databasePath))
        return Fetched::Database;
    *error = QStringLiteral("无法读取收到的邮件：") + native(source);
    return Fetched::Failed;
}

bool DropFolderCarrier::remove(const QString& key, QString* error) {
    QFile file(QDir(m_inbox).filePath(key));
    if (file.remove())
        return true;
    *error = QStringLiteral("无法从收件目录删除已接收的邮件：") + native(file.fileName()) +
             QStringLiteral("（") + file.errorString() + QStringLiteral("）");
    return false;
}

} // namespace kvx
