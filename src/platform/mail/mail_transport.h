#pragma once

#include "platform/mail/mail_config.h"
#include "platform/worker_thread.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

class QTemporaryDir;

namespace kvx {

class MailCarrier;

// What one transfer did, for the window that asked for it.
struct MailTransferResult {
    bool newMailSent = false;
    int taken = 0;       // arrived exchange mails acknowledged and removed
    int left = 0;        // arrived exchange mails abandoned: they wait for the next transfer
    QStringList notices; // warnings about the settings, each said once per configuration
    QStringList errors;  // what went wrong, each said once
    // The settings name a user whose password the keyring does not hold: nothing was done.
    bool passwordMissing = false;
    bool ok() const { return errors.isEmpty(); }
};

// The mail component's transport object. It is given a configuration text (the forms are in
// MailConfig) and the exchange tag ("KV"), started, and asked to transfer. A transfer first
// creates the database file of a new outgoing exchange mail and raises AfterNewMail with its
// path; the mail goes out only when the receiver acknowledges it without abandoning. Then
// every exchange mail that has arrived is raised with OnGetFrom and the path of a copy of its
// database; a mail acknowledged without abandoning is removed, any other stays for the next
// transfer. At the end `finished` says what was done.
//
// A transfer advances through the event loop: the waits for the mail servers and the drop
// folders run on a worker thread, and the receiver may acknowledge an event at once or later,
// after work of its own; each event must be acknowledged once. Events reach one receiver:
// connecting a receiver takes them from the one before. Without a receiver an event counts as
// abandoned.
class MailTransport : public QObject {
    Q_OBJECT
public:
    explicit MailTransport(QObject* parent = nullptr);
    ~MailTransport() override;

    QString configText() const { return m_configText; }
    // Not started again until start().
    void setConfigText(const QString& text) {
        m_configText = text;
        m_config = MailConfig();
    }
    QString exchangeTag() const { return m_tag; }
    void setExchangeTag(const QString& tag) { m_tag = tag; }

    // Takes the configuration text and the tag; false with the reason when the text cannot be
    // used (a transfer then reports it).
    bool start(QString* error = nullptr);
    bool isStarted() const { return m_config.kind != MailConfig::Kind::None; }
    const MailConfig& config() const { return m_config; }

    // Starts a transfer; false when one is under way already.
    bool transfer();
    bool isTransferring() const { return m_step != Step::Idle; }
    // Ends the transfer under way at the next point where nothing is lost: a mail that has
    // begun to go out is sent whole, an arrived mail being taken in is acknowledged, and
    // the mails taken so far are removed; no further mail is read.
    void cancel();

    void acknowledgeNewMail(bool abandon);
    void acknowledgeGetFrom(bool abandon);

    template <typename Receiver>
    void connectEvents(Receiver* receiver, void (Receiver::*afterNewMail)(const QString&),
                       void (Receiver::*onGetFrom)(const QString&)) {
        disconnect(this, &MailTransport::AfterNewMail, nullptr, nullptr);
        disconnect(this, &MailTransport::OnGetFrom, nullptr, nullptr);
        connect(this, &MailTransport::AfterNewMail, receiver, afterNewMail, Qt::DirectConnection);
        connect(this, &MailTransport::OnGetFrom, receiver, onGetFrom, Qt::DirectConnection);
    }

    // Said once per configuration when the servers are to see the password without TLS.
    static QString clearPasswordWarning();

Q_SIGNALS:
    void AfterNewMail(const QString& strfilename);
    void OnGetFrom(const QString& strfilename);
    // What the transfer is doing now, for a status line.
    void progressed(const QString& text);
    void finished(const MailTransferResult& result);

private:
    enum class Step {
        Idle,
        Preparing,
        NewMail,
        Sending,
        Listing,
        Fetching,
        GetFrom,
        Removing,
        Finishing
    };

    void beginWithPassword(const QString& password);
    void offerNewMail();
    void sendNewMail();
    void listWaiting();
    void fetchNext();
    void removeTaken();
    void finish();
    void end();
    // Runs a blocking call of the carrier on a worker thread; `done` gets its error text.
    template <typename Call, typename Done> void onWorker(Call call, Done done);

    QString m_configText;
    QString m_tag;
    QString m_startError;
    MailConfig m_config;
    QString m_warnedFor; // the configuration text whose clear password was warned of

    Step m_step = Step::Idle;
    std::atomic_bool m_cancel = false;
    MailTransferResult m_result;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_newMailName;
    QStringList m_waiting;
    QString m_key; // the arrived mail under way
    std::unique_ptr<MailCarrier> m_carrier;
    WorkerThreads m_workers;
};

} // namespace kvx
