#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

// How exchange mails leave and arrive: a drop folder or a mail server. The transport decides
// what goes out and what an arrived mail is taken for; a carrier only moves database files.
class MailCarrier {
public:
    enum class Fetched {
        Database,        // the mail's database file is written
        NotExchangeMail, // the mail carries no database under the exchange tag: left alone
        Failed
    };

    virtual ~MailCarrier() = default;

    // Sends the database file as one exchange mail named `mailName`.
    virtual bool send(const QString& databasePath, const QString& mailName, QString* error) = 0;
    // The keys of the mails waiting to be received, oldest first.
    virtual QStringList waitingMails(QString* error) = 0;
    // Writes the database of the waiting mail to `databasePath`.
    virtual Fetched fetch(const QString& key, const QString& databasePath, QString* error) = 0;
    // The mail was taken in: it must not arrive again.
    virtual bool remove(const QString& key, QString* error) = 0;
    // The end of one transfer: removals take effect, connections close.
    virtual bool finish(QString* error) = 0;
};

} // namespace kvx
