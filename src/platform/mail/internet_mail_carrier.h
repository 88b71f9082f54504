#pragma once

#include "platform/mail/mail_carrier.h"
#include "platform/mail/mail_config.h"

#include <QHash>
#include <QSet>
#include <atomic>
#include <memory>
#include <optional>

typedef void CURL;

namespace kvx {

class ImapConnection;

// Exchange mails through mail servers: sent by SMTP as a message whose subject starts with
// the exchange tag and whose attachment is the database file, received by IMAP from the
// configured mailbox. Only messages whose subject starts with the tag, exactly, are read, and
// they are read without marking them seen. A mail taken in is removed by itself alone (UID
// EXPUNGE where the server offers UIDPLUS, else moved to the trash where it offers MOVE, else
// left flagged deleted), so messages that another mail program flagged deleted stay.
class InternetMailCarrier : public MailCarrier {
public:
    InternetMailCarrier(MailConfig config, QString tag, const std::atomic_bool* cancel);
    ~InternetMailCarrier() override;

    bool send(const QString& databasePath, const QString& mailName, QString* error) override;
    QStringList waitingMails(QString* error) override;
    Fetched fetch(const QString& key, const QString& databasePath, QString* error) override;
    bool remove(const QString& key, QString* error) override;
    bool finish(QString* error) override;

private:
    struct Waiting {
        QString subject;
        qint64 size = 0;
    };

    QByteArray serverUrl(const QString& scheme, const QString& host, int port) const;
    void setCommonOptions(CURL* curl) const;
    // Connects, logs in, learns the server's capabilities and selects the mailbox.
    bool openMailbox(QString* error);
    // The trash folder as the server names it in a command; empty when it has none.
    QByteArray trashMailbox();

    MailConfig m_config;
    QString m_tag;
    const std::atomic_bool* m_cancel;
    std::unique_ptr<ImapConnection> m_imap;
    QSet<QByteArray> m_capabilities;
    QHash<QString, Waiting> m_waiting;
    std::optional<QByteArray> m_trash;
};

} // namespace kvx
