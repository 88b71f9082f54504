#include "platform/mail/internet_mail_carrier.h"

#include "platform/mail/curl_session.h"
#include "platform/mail/mime_message.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <curl/curl.h>

namespace kvx {

namespace {

QString sendFailed(const QString& detail) {
    return QStringLiteral("发送邮件失败：") + detail;
}

QString receiveFailed(const QString& detail) {
    return QStringLiteral("接收邮件失败：") + detail;
}

// An IMAP quoted string.
QString quoted(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

InternetMailCarrier::InternetMailCarrier(MailConfig config, QString tag)
    : m_config(std::move(config))
    , m_tag(std::move(tag)) {}

InternetMailCarrier::~InternetMailCarrier() = default;

QString InternetMailCarrier::serverUrl(const QString& scheme, const QString& host, int port) const {
    const QString secure =
        m_config.tls == MailConfig::Tls::Implicit ? QStringLiteral("s") : QString();
    const QString name =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return scheme + secure + QStringLiteral("://") + name + QLatin1Char(':') +
           QString::number(port);
}

void InternetMailCarrier::setCommonOptions(CurlSession& session) const {
    CURL* curl = session.handle();
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     m_config.tls == MailConfig::Tls::None ? long(CURLUSESSL_NONE)
                                                           : long(CURLUSESSL_ALL));
    if (!m_config.caCertificates.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_config.caCertificates.toLocal8Bit().constData());
    if (!m_config.user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_config.user.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_config.password.toUtf8().constData());
    }
}

bool InternetMailCarrier::send(const QString& databasePath, const QString& mailName,
                               QString* error) {
    QFile file(databasePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = sendFailed(file.errorString());
        return false;
    }
    const QByteArray message = MimeMessage::compose(
        m_config.from, m_config.to, m_tag + QLatin1Char(' ') + mailName,
        QStringLiteral("KVX 数据交换邮件，附件为交换数据，请勿修改。"), {mailName, file.readAll()});

    CurlSession session;
    setCommonOptions(session);
    CURL* curl = session.handle();
    const QByteArray url =
        serverUrl(QStringLiteral("smtp"), m_config.smtpHost, m_config.smtpPort).toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    const QByteArray from = '<' + m_config.from.toUtf8() + '>';
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_slist* recipients = nullptr;
    for (const QString& address : m_config.to)
        recipients = curl_slist_append(recipients, ('<' + address.toUtf8() + '>').constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    session.setUpload(message);
    const bool sent = session.perform(error);
    curl_slist_free_all(recipients);
    if (!sent)
        *error = sendFailed(*error);
    return sent;
}

CurlSession& InternetMailCarrier::imap() {
    if (!m_imap) {
        m_imap = std::make_unique<CurlSession>();
        setCommonOptions(*m_imap);
    }
    return *m_imap;
}

bool InternetMailCarrier::imapCommand(const QString& command, QString* error) {
    CurlSession& session = imap();
    const QByteArray url =
        (serverUrl(QStringLiteral("imap"), m_config.imapHost, m_config.imapPort) + '/' +
         QUrl::toPercentEncoding(m_config.mailbox))
            .toUtf8();
    const QByteArray request = command.toUtf8();
    curl_easy_setopt(session.handle(), CURLOPT_URL, url.constData());
    curl_easy_setopt(session.handle(), CURLOPT_CUSTOMREQUEST, request.constData());
    const bool ok = session.perform(error);
    curl_easy_setopt(session.handle(), CURLOPT_CUSTOMREQUEST, nullptr);
    if (!ok)
        *error = receiveFailed(*error);
    return ok;
}

QStringList InternetMailCarrier::waitingMails(QString* error) {
    if (!imapCommand(QStringLiteral("UID SEARCH UNDELETED SUBJECT ") + quoted(m_tag), error))
        return {};
    static const QRegularExpression searchLine(QStringLiteral(R"(^\* SEARCH([ 0-9]*)\r?$)"),
                                               QRegularExpression::MultilineOption);
    QStringList uids;
    auto lines = searchLine.globalMatch(QString::fromLatin1(imap().received()));
    while (lines.hasNext())
        uids += lines.next().captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return uids;
}

MailCarrier::Fetched InternetMailCarrier::fetch(const QString& key, const QString& databasePath,
                                                QString* error) {
    CurlSession& session = imap();
    const QByteArray url =
        (serverUrl(QStringLiteral("imap"), m_config.imapHost, m_config.imapPort) + '/' +
         QUrl::toPercentEncoding(m_config.mailbox) + QStringLiteral("/;UID=") + key)
            .toUtf8();
    curl_easy_setopt(session.handle(), CURLOPT_URL, url.constData());
    if (!session.perform(error)) {
        *error = receiveFailed(*error);
        return Fetched::Failed;
    }
    const std::optional<MimeMessage::Parsed> message = MimeMessage::parse(session.received());
    if (!message || !message->subject.startsWith(m_tag) || !message->attachment)
        return Fetched::NotExchangeMail;
    QSaveFile file(databasePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(message->attachment->content) < 0 ||
        !file.commit()) {
        *error = receiveFailed(file.errorString());
        return Fetched::Failed;
    }
    return Fetched::Database;
}

bool InternetMailCarrier::remove(const QString& key, QString* error) {
    if (!imapCommand(QStringLiteral("UID STORE %1 +FLAGS.SILENT (\\Deleted)").arg(key), error))
        return false;
    m_removed = true;
    return true;
}

bool InternetMailCarrier::finish(QString* error) {
    const bool ok = !m_removed || imapCommand(QStringLiteral("EXPUNGE"), error);
    m_removed = false;
    m_imap.reset();
    return ok;
}

} // namespace kvx
