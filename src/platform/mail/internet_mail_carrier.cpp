#include "platform/mail/internet_mail_carrier.h"

#include "platform/mail/curl_session.h"
#include "platform/mail/imap_connection.h"
#include "platform/mail/mime_message.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
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
QByteArray quoted(QByteArray text) {
    text.replace('\\', "\\\\");
    text.replace('"', "\\\"");
    return '"' + text + '"';
}

// A mailbox name in IMAP's modified UTF-7: printable ASCII stands for itself ("&" as "&-"),
// every other run of characters is UTF-16 in base64 between "&" and "-".
QByteArray mailboxName(const QString& name) {
    QByteArray encoded;
    QString run;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        QByteArray utf16;
        for (const QChar c : std::as_const(run))
            utf16 += char(c.unicode() >> 8), utf16 += char(c.unicode() & 0xff);
        encoded += '&' + utf16.toBase64(QByteArray::OmitTrailingEquals).replace('/', ',') + '-';
        run.clear();
    };
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7e) {
            flush();
            encoded += c == QLatin1Char('&') ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
        } else {
            run += c;
        }
    }
    flush();
    return quoted(encoded);
}

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024 * 1024), 'f', 1);
}

} // namespace

InternetMailCarrier::InternetMailCarrier(MailConfig config, QString tag,
                                         const std::atomic_bool* cancel)
    : m_config(std::move(config))
    , m_tag(std::move(tag))
    , m_cancel(cancel) {}

InternetMailCarrier::~InternetMailCarrier() = default;

QByteArray InternetMailCarrier::serverUrl(const QString& scheme, const QString& host,
                                          int port) const {
    const QString secure =
        m_config.tls == MailConfig::Tls::Implicit ? QStringLiteral("s") : QString();
    const QString name =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return (scheme + secure + QStringLiteral("://") + name + QLatin1Char(':') +
            QString::number(port))
        .toUtf8();
}

void InternetMailCarrier::setCommonOptions(CURL* curl) const {
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     m_config.tls == MailConfig::Tls::None ? long(CURLUSESSL_NONE)
                                                           : long(CURLUSESSL_ALL));
    // Takes the place of libcurl's certificate bundle; its certificate folder, where it has
    // one (Debian: /etc/ssl/certs), stays trusted beside it.
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

    CurlSession session(m_cancel);
    CURL* curl = session.handle();
    setCommonOptions(curl);
    const QByteArray url = serverUrl(QStringLiteral("smtp"), m_config.smtpHost, m_config.smtpPort);
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

bool InternetMailCarrier::openMailbox(QString* error) {
    if (m_imap)
        return true;
    auto imap = std::make_unique<ImapConnection>(m_cancel);
    setCommonOptions(imap->handle());
    QList<ImapConnection::Response> capabilities;
    if (!imap->open(serverUrl(QStringLiteral("imap"), m_config.imapHost, m_config.imapPort),
                    error) ||
        !imap->command("CAPABILITY", &capabilities, error, nullptr, true) ||
        !imap->command("SELECT " + mailboxName(m_config.mailbox), nullptr, error, nullptr, true))
        return false;
    m_capabilities.clear();
    for (const ImapConnection::Response& response : std::as_const(capabilities)) {
        if (response.text.startsWith("CAPABILITY "))
            for (const QByteArray& name : response.text.mid(11).toUpper().split(' '))
                m_capabilities.insert(name);
    }
    m_imap = std::move(imap);
    return true;
}

QStringList InternetMailCarrier::waitingMails(QString* error) {
    m_waiting.clear();
    QList<ImapConnection::Response> found;
    // The server's search finds the tag anywhere in the subject, in any letter case; only the
    // subjects read below decide.
    if (!openMailbox(error) ||
        !m_imap->command("UID SEARCH UNDELETED SUBJECT " + quoted(m_tag.toUtf8()), &found, error,
                         nullptr, true)) {
        *error = receiveFailed(*error);
        return {};
    }
    QByteArrayList uids;
    for (const ImapConnection::Response& response : std::as_const(found)) {
        if (response.text.startsWith("SEARCH"))
            uids += response.text.mid(6).simplified().split(' ');
    }
    uids.removeAll(QByteArray());
    if (uids.isEmpty())
        return {};
    QList<ImapConnection::Response> headers;
    if (!m_imap->command("UID FETCH " + uids.join(',') +
                             " (UID RFC822.SIZE BODY.PEEK[HEADER.FIELDS (SUBJECT)])",
                         &headers, error, nullptr, true)) {
        *error = receiveFailed(*error);
        return {};
    }
    static const QRegularExpression uid(QStringLiteral(R"(\bUID (\d+))"));
    static const QRegularExpression size(QStringLiteral(R"(\bRFC822\.SIZE (\d+))"));
    QList<qint64> keys;
    for (const ImapConnection::Response& response : std::as_const(headers)) {
        const QString text = QString::fromLatin1(response.text);
        const QRegularExpressionMatch uidMatch = uid.match(text);
        const QString subject = MimeMessage::subject(response.literals.value(0));
        if (!uidMatch.hasMatch() || !subject.startsWith(m_tag))
            continue;
        m_waiting.insert(uidMatch.captured(1),
                         {subject, size.match(text).captured(1).toLongLong()});
        keys.append(uidMatch.captured(1).toLongLong());
    }
    std::sort(keys.begin(), keys.end());
    QStringList waiting;
    for (const qint64 key : std::as_const(keys))
        waiting.append(QString::number(key));
    return waiting;
}

MailCarrier::Fetched InternetMailCarrier::fetch(const QString& key, const QString& databasePath,
                                                QString* error) {
    const Waiting mail = m_waiting.value(key);
    if (mail.size > m_config.maxMessageBytes) {
        *error = receiveFailed(
            QStringLiteral("邮件“%1”有 %2 MB，超过 mail.ini 中 maxsize 所许的 %3 MB，未接收，"
                           "留在邮箱中。")
                .arg(mail.subject, megabytes(mail.size), megabytes(m_config.maxMessageBytes)));
        return Fetched::Failed;
    }
    // The message goes to a file as it arrives and its attachment from there to the database
    // file, so that a large mail is never held in memory.
    const QString messagePath = databasePath + QStringLiteral(".eml");
    QFile message(messagePath);
    bool read = message.open(QIODevice::WriteOnly);
    if (!read)
        *error = message.errorString();
    else
        read = m_imap->command("UID FETCH " + key.toLatin1() + " (BODY.PEEK[])", nullptr, error,
                               &message, true);
    message.close();
    MimeMessage::Extracted extracted = MimeMessage::Extracted::Failed;
    if (read)
        extracted = MimeMessage::extractAttachment(messagePath, databasePath, error);
    QFile::remove(messagePath);
    if (extracted == MimeMessage::Extracted::Failed) {
        *error = receiveFailed(*error);
        return Fetched::Failed;
    }
    return extracted == MimeMessage::Extracted::Written ? Fetched::Database
                                                        : Fetched::NotExchangeMail;
}

QByteArray InternetMailCarrier::trashMailbox() {
    if (m_trash)
        return *m_trash;
    m_trash = QByteArray();
    QList<ImapConnection::Response> folders;
    QString error;
    if (!m_imap->command(R"(LIST "" "*")", &folders, &error))
        return {};
    // LIST (\HasNoChildren \Trash) "." Trash: the name is the last item, an atom, a quoted
    // string or a literal.
    static const QRegularExpression trash(
        QStringLiteral(R"(^LIST \([^)]*\\Trash\b[^)]*\) (?:"(?:[^"\\]|\\.)*"|NIL) (.+)$)"),
        QRegularExpression::CaseInsensitiveOption);
    for (const ImapConnection::Response& folder : std::as_const(folders)) {
        const QRegularExpressionMatch match = trash.match(QString::fromUtf8(folder.text));
        if (!match.hasMatch())
            continue;
        const QByteArray name = match.captured(1).toUtf8();
        m_trash = name.startsWith('{') ? quoted(folder.literals.value(0)) : name;
        break;
    }
    return *m_trash;
}

bool InternetMailCarrier::remove(const QString& key, QString* error) {
    // Flagged first: whatever happens next, the mail is not taken again.
    bool removed = m_imap->command("UID STORE " + key.toLatin1() + R"( +FLAGS.SILENT (\Deleted))",
                                   nullptr, error);
    if (removed && m_capabilities.contains("UIDPLUS")) {
        removed = m_imap->command("UID EXPUNGE " + key.toLatin1(), nullptr, error);
    } else if (removed && m_capabilities.contains("MOVE")) {
        const QByteArray trash = trashMailbox();
        if (!trash.isEmpty())
            removed = m_imap->command("UID MOVE " + key.toLatin1() + ' ' + trash, nullptr, error);
    }
    if (!removed)
        *error = receiveFailed(*error);
    return removed;
}

bool InternetMailCarrier::finish(QString*) {
    if (m_imap) {
        QString ignored;
        m_imap->command("LOGOUT", nullptr, &ignored);
    }
    m_imap.reset();
    return true;
}

} // namespace kvx
