#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kvx::test {

// A real SMTP server (aiosmtpd) and a real IMAP server (dovecot) on 127.0.0.1, in a temporary
// folder, with a self-signed certificate made for them. Each site has an account; mail sent to
// <site>@kvx.test lands in that site's IMAP inbox. "sitea", "siteb" and "sitee" see every
// capability of the IMAP server, "sitec" only MOVE and "sited" neither MOVE nor UIDPLUS; every
// mailbox has a trash folder "Trash" and a folder "交换". Both servers stop with the object. Run as
// root, the mail is owned by "nobody".
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
    // Puts a message into a folder of the site's mailbox ("" the inbox) with IMAP flags in
    // maildir letters ("T" deleted, "S" seen), as another mail program leaves it.
    void plant(const QString& site, const QByteArray& message, const QString& flags) const;
    // "subject:flags" of every message in a folder of the site's mailbox, sorted.
    QStringList mailbox(const QString& site, const QString& folder = {}) const;
    // The certificate the servers present.
    QString certificate() const { return path("cert.pem"); }
    // A certificate of the same name that no server presents.
    QString untrustedCertificate() const { return path("untrusted-cert.pem"); }

private:
    QString path(const QString& name) const { return m_root.filePath(name); }
    QString maildir(const QString& site, const QString& folder) const;
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
