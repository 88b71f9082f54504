#pragma once

#include "platform/mail/mail_carrier.h"
#include "platform/mail/mail_config.h"

#include <memory>

namespace kvx {

class CurlSession;

// Exchange mails through mail servers: sent by SMTP as a message whose subject starts with
// the exchange tag and whose attachment is the database file, received by IMAP from the
// configured mailbox. A mail taken in is deleted from the mailbox; any other mail there is
// left alone.
class InternetMailCarrier : public MailCarrier {
public:
    InternetMailCarrier(MailConfig config, QString tag);
    ~InternetMailCarrier() override;

    bool send(const QString& databasePath, const QString& mailName, QString* error) override;
    QStringList waitingMails(QString* error) override;
    Fetched fetch(const QString& key, const QString& databasePath, QString* error) override;
    bool remove(const QString& key, QString* error) override;
    bool finish(QString* error) override;

private:
    QString serverUrl(const QString& scheme, const QString& host, int port) const;
    void setCommonOptions(CurlSession& session) const;
    // The IMAP session of this transfer, connected on first use.
    CurlSession& imap();
    bool imapCommand(const QString& command, QString* error);

    MailConfig m_config;
    QString m_tag;
    std::unique_ptr<CurlSession> m_imap;
    bool m_removed = false;
};

} // namespace kvx
