#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace kvx {

class MailCarrier;

// What one transfer did, for the window that asked for it.
struct MailTransferResult {
    bool newMailSent = false;
    int taken = 0;      // arrived exchange mails acknowledged and removed
    int left = 0;       // arrived exchange mails abandoned: they wait for the next transfer
    QStringList errors; // what went wrong, each said once
    bool ok() const { return errors.isEmpty(); }
};

// The mail component's transport object. It is given a configuration text (the forms are in
// MailConfig) and the exchange tag ("KV"), started, and asked to transfer. A transfer first
// creates the database file of a new outgoing exchange mail and raises AfterNewMail with its
// path; the mail goes out only when the receiver acknowledges it without abandoning. Then
// every exchange mail that has arrived is raised with OnGetFrom and the path of a copy of its
// database; a mail acknowledged without abandoning is removed, any other stays for the next
// transfer. An event that is not acknowledged counts as abandoned.
//
// Events reach one receiver: connecting a receiver takes them from the one before.
class MailTransport : public QObject {
    Q_OBJECT
public:
    explicit MailTransport(QObject* parent = nullptr);
    ~MailTransport() override;

    QString configText() const { return m_configText; }
    void setConfigText(const QString& text) { m_configText = text; }
    QString exchangeTag() const { return m_tag; }
    void setExchangeTag(const QString& tag) { m_tag = tag; }

    // Takes the configuration text and the tag; false with the reason when the text cannot be
    // used (a transfer then reports it).
    bool start(QString* error = nullptr);
    bool isStarted() const { return m_carrier != nullptr; }

    MailTransferResult transfer();
    bool isTransferring() const { return m_transferring; }

    void acknowledgeNewMail(bool abandon) { m_answer = abandon ? Answer::Abandon : Answer::Accept; }
    void acknowledgeGetFrom(bool abandon) { m_answer = abandon ? Answer::Abandon : Answer::Accept; }

    template <typename Receiver>
    void connectEvents(Receiver* receiver, void (Receiver::*afterNewMail)(const QString&),
                       void (Receiver::*onGetFrom)(const QString&)) {
        disconnect(this, &MailTransport::AfterNewMail, nullptr, nullptr);
        disconnect(this, &MailTransport::OnGetFrom, nullptr, nullptr);
        connect(this, &MailTransport::AfterNewMail, receiver, afterNewMail, Qt::DirectConnection);
        connect(this, &MailTransport::OnGetFrom, receiver, onGetFrom, Qt::DirectConnection);
    }

Q_SIGNALS:
    void AfterNewMail(const QString& strfilename);
    void OnGetFrom(const QString& strfilename);

private:
    enum class Answer { None, Accept, Abandon };

    void sendNewMail(const QString& folder, MailTransferResult& result);
    void receiveMails(const QString& folder, MailTransferResult& result);
    QString newMailName() const;

    QString m_configText;
    QString m_tag;
    QString m_startError;
    std::unique_ptr<MailCarrier> m_carrier;
    Answer m_answer = Answer::None;
    bool m_transferring = false;
};

} // namespace kvx
