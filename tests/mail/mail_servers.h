#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kvx::test {

// A real SMTP server (aiosmtpd) and a real IMAP server (dovecot) on 127.0.0.1, in a temporary
// folder, with a self-signed certificate made for them. Two sites have an account each,
// "sitea" and "siteb"; mail sent to <site>@kvx.test lands in that site's IMAP inbox. Both
// servers stop with the object. Run as root, the mail is owned by "nobody".
class MailServers {
public:
    MailServers();
    ~MailServers();

    // Empty when both servers are up; otherwise what went wrong.
    QString start();

    // The configuration text with which `site` sends to `peer` and reads its own inbox;
    // `tls` is "starttls" or "ssl".
    QString configText(const QString& site, const QString& peer, const QString& tls) const;
    // Sends a message from one site to another with the curl program, as any mail program
    // would.
    bool send(const QString& site, const QString& peer, const QByteArray& message) const;
    // Messages in the site's inbox that IMAP has not expunged.
    int inboxSize(const QString& site) const;

private:
    QString path(const QString& name) const { return m_root.filePath(name); }
    QString writeDovecotConfig();

    QTemporaryDir m_root;
    QProcess m_smtp;
    QProcess m_imap;
    int m_smtpPort = 0;
    int m_smtpsPort = 0;
    int m_imapPort = 0;
    int m_imapsPort = 0;
};

} // namespace kvx::test
