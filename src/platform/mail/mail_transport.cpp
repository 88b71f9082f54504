#include "platform/mail/mail_transport.h"

#include "platform/mail/drop_folder_carrier.h"
#include "platform/mail/internet_mail_carrier.h"
#include "platform/mail/mail_config.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace kvx {

MailTransport::MailTransport(QObject* parent)
    : QObject(parent) {}

MailTransport::~MailTransport() = default;

bool MailTransport::start(QString* error) {
    m_carrier.reset();
    const MailConfig config = MailConfig::parse(m_configText, &m_startError);
    if (config.kind == MailConfig::Kind::DropFolder)
        m_carrier = std::make_unique<DropFolderCarrier>(config.outbox, config.inbox, m_tag);
    else if (config.kind == MailConfig::Kind::InternetMail)
        m_carrier = std::make_unique<InternetMailCarrier>(config, m_tag);
    else if (m_startError.isEmpty())
        m_startError = QStringLiteral("未设置邮件传输方式");
    if (error)
        *error = m_startError;
    return m_carrier != nullptr;
}

MailTransferResult MailTransport::transfer() {
    MailTransferResult result;
    if (m_transferring) {
        result.errors.append(QStringLiteral("邮件传输正在进行，请稍候。"));
        return result;
    }
    if (!m_carrier) {
        // Without a configuration text nothing is connected and nothing happens.
        if (!m_configText.trimmed().isEmpty())
            result.errors.append(m_startError);
        return result;
    }
    m_transferring = true;
    const auto done = qScopeGuard([this] { m_transferring = false; });
    QTemporaryDir work;
    if (!work.isValid()) {
        result.errors.append(QStringLiteral("无法建立临时目录：") + work.errorString());
        return result;
    }
    sendNewMail(work.path(), result);
    receiveMails(work.path(), result);
    result.errors.removeDuplicates();
    return result;
}

QString MailTransport::newMailName() const {
    return m_tag + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")) +
           QStringLiteral("-%1.db").arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16,
                                        QLatin1Char('0'));
}

void MailTransport::sendNewMail(const QString& folder, MailTransferResult& result) {
    const QString name = newMailName();
    const QString path = QDir(folder).filePath(name);
    QFile created(path);
    if (!created.open(QIODevice::WriteOnly)) {
        result.errors.append(QStringLiteral("无法建立邮件数据库：") + created.errorString());
        return;
    }
    created.close();
    m_answer = Answer::None;
    Q_EMIT AfterNewMail(QDir::toNativeSeparators(path));
    if (m_answer != Answer::Accept)
        return;
    QString error;
    result.newMailSent = m_carrier->send(path, name, &error);
    if (!result.newMailSent)
        result.errors.append(error);
}

void MailTransport::receiveMails(const QString& folder, MailTransferResult& result) {
    QString error;
    const QStringList waiting = m_carrier->waitingMails(&error);
    if (!error.isEmpty())
        result.errors.append(error);
    for (const QString& key : waiting) {
        const QString path = QDir(folder).filePath(QStringLiteral("arrived-") + key);
        error.clear();
        const MailCarrier::Fetched fetched = m_carrier->fetch(key, path, &error);
        if (fetched == MailCarrier::Fetched::Failed) {
            result.errors.append(error);
            continue;
        }
        if (fetched == MailCarrier::Fetched::NotExchangeMail)
            continue;
        m_answer = Answer::None;
        Q_EMIT OnGetFrom(QDir::toNativeSeparators(path));
        if (m_answer != Answer::Accept) {
            ++result.left;
        } else if (m_carrier->remove(key, &error)) {
            ++result.taken;
        } else {
            result.errors.append(error);
        }
        QFile::remove(path);
    }
    error.clear();
    if (!m_carrier->finish(&error))
        result.errors.append(error);
}

} // namespace kvx
