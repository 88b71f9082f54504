#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

// The configuration text of a mail transport, in one of two forms (values may be written
// percent-encoded, e.g. a ";" in a password as %3B):
//
//   dir:outbox=<folder>;inbox=<folder>
//     drop folders: an outgoing exchange mail is a database file written to the outbox; every
//     database file that appears in the inbox is an arrived exchange mail.
//   mail:smtp=<host>[:port];imap=<host>[:port];tls=ssl|starttls|none;user=<name>;
//        password=<password>;from=<address>;to=<address>[,<address>…];mailbox=<name>;
//        cacert=<file>;maxsize=<megabytes>
//     SMTP to send and IMAP to receive. tls defaults to starttls, mailbox to INBOX; the
//     ports default to 465/993 (ssl), 587/143 (starttls) or 25/143 (none); user and
//     password may be left out for servers that need no login, and a user without a password
//     has the password kept in the system's keyring; cacert is the certificate file libcurl
//     trusts (CAINFO); a message larger than maxsize (default 100) is not received.
struct MailConfig {
    enum class Kind { None, DropFolder, InternetMail };
    enum class Tls { StartTls, Implicit, None };

    Kind kind = Kind::None;
    QString outbox;
    QString inbox;

    QString smtpHost;
    int smtpPort = 0;
    QString imapHost;
    int imapPort = 0;
    Tls tls = Tls::StartTls;
    QString user;
    QString password;
    bool passwordGiven = false; // the text holds a password (perhaps an empty one)
    QString from;
    QStringList to;
    QString mailbox = QStringLiteral("INBOX");
    QString caCertificates;
    qint64 maxMessageBytes = 100 * 1024 * 1024;

    // The password is not in the text: it is kept in the system's keyring under this key.
    bool usesKeyring() const {
        return kind == Kind::InternetMail && !user.isEmpty() && !passwordGiven;
    }
    QString keyringKey() const { return user + QLatin1Char('@') + imapHost; }
    // A login without TLS: the servers see the password as it is.
    bool sendsPasswordInClear() const {
        return kind == Kind::InternetMail && tls == Tls::None && !user.isEmpty();
    }

    // An empty text gives Kind::None. A text that cannot be used gives Kind::None and the
    // reason in `error`.
    static MailConfig parse(const QString& text, QString* error);
};

} // namespace kvx
