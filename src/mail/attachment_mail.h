#pragma once

#include "platform/mail/mail_transport.h"
#include "runs/mail_hand_over.h"

#include <QObject>

namespace kvx {

class AttachmentQueue;
class Prompter;

// The exchange window's side of the mail component: its own transport object, whose new
// mails are filled from the attachment queue (ids "1", "2", … in queue order) and which
// refuses arrived mails, since received data is taken in through the mail transfer window.
// The queue gives up its files exactly when the mail that carries them has gone out; when the
// mail is abandoned or cannot be sent they stay queued for the next one, and the operator is
// told.
class AttachmentMail : public QObject, public MailHandOver {
    Q_OBJECT
public:
    AttachmentMail(AttachmentQueue& queue, Prompter& prompter, QObject* parent = nullptr);

    // Connects the transport with the configuration text, as the window's load does.
    void initMail(const QString& configText);
    MailTransport& transport() { return m_transport; }

    void transfer() override;

    void Mail1_AfterNewMail(const QString& strfilename);
    void Mail1_OnGetFrom(const QString& strfilename);

private:
    MailTransport m_transport;
    AttachmentQueue& m_queue;
    Prompter& m_prompter;
    int m_stored = 0; // queued files in the mail of the transfer under way
};

} // namespace kvx
