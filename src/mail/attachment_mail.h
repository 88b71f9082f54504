#pragma once

#include "mail/mail_notice.h"
#include "platform/mail/mail_transport.h"
#include "platform/worker_thread.h"
#include "runs/mail_hand_over.h"

#include <QObject>

namespace kvx {

class AttachmentQueue;

// The exchange window's side of the mail component: its own transport object, whose new
// mails are filled from the attachment queue (ids "1", "2", … in queue order) and which
// refuses arrived mails, since received data is taken in through the mail transfer window.
// The queue gives up its files exactly when the mail that carries them has gone out; when the
// mail is abandoned or cannot be sent they stay queued for the next one. A transfer asked for
// while one is under way follows it. What the operator is to learn of a transfer is handed
// to whoever shows it.
class AttachmentMail : public QObject, public MailHandOver {
    Q_OBJECT
public:
    explicit AttachmentMail(AttachmentQueue& queue, QObject* parent = nullptr);

    // Connects the transport with the configuration text, as the window's load does.
    void initMail(const QString& configText);
    MailTransport& transport() { return m_transport; }

    void transfer() override;

    void Mail1_AfterNewMail(const QString& strfilename);
    void Mail1_OnGetFrom(const QString& strfilename);

Q_SIGNALS:
    // A transfer has ended (or could not begin); `notices` is empty when all went well.
    void transferred(const QList<MailNotice>& notices);

private:
    void onTransferFinished(const MailTransferResult& result);

    MailTransport m_transport;
    AttachmentQueue& m_queue;
    int m_stored = 0;       // queued files in the mail of the transfer under way
    bool m_again = false;   // asked for while a transfer was under way
    bool m_refused = false; // an arrived mail was refused in this transfer
    QList<MailNotice> m_notices;
    WorkerThreads m_workers;
};

} // namespace kvx
