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
//        cacert=<file>
//     SMTP to send and IMAP to receive. tls defaults to starttls, mailbox to INBOX; the
//     ports default to 465/993 (ssl), 587/143 (starttls) or 25/143 (none); user and
//     password may be left out for servers that need no login; cacert names the
//     certificates to trust besides the system's.
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
    QString from;
    QStringList to;
    QString mailbox = QStringLiteral("INBOX");
    QString caCertificates;

    // An empty text gives Kind::None. A text that cannot be used gives Kind::None and the
    // reason in `error`.
    static MailConfig parse(const QString& text, QString* error);
};

} // namespace kvx
