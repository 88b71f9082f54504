#pragma once

#include "platform/mail/mail_carrier.h"

namespace kvx {

// Exchange mails as database files in folders that the sites share: a mail goes out as a file
// in the outbox, and every file in the inbox whose name starts with the exchange tag is a mail
// that arrived. A file appears in the outbox only complete, so a receiver reading the same
// folder never takes half a mail.
class DropFolderCarrier : public MailCarrier {
public:
    DropFolderCarrier(QString outbox, QString inbox, QString tag);

    bool send(const QString& databasePath, const QString& mailName, QString* error) override;
    QStringList waitingMails(QString* error) override;
    Fetched fetch(const QString& key, const QString& databasePath, QString* error) override;
    bool remove(const QString& key, QString* error) override;
    bool finish(QString*) override { return true; }

private:
    QString m_outbox;
    QString m_inbox;
    QString m_tag;
};

} // namespace kvx
