#pragma once

#include "login/login_context.h"
#include "mail/attachment_mail.h"
#include "platform/mail/mail_transport.h"
#include "runs/attachment_queue.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"

#include <memory>

namespace kvx {

// The process-wide records. The main frame owns the one instance and hands it, with the
// services, to the windows it opens.
struct AppContext {
    LoginContext login;
    PathSettings paths; // empty until the mail transfer loads them
    // Exported files waiting for the exchange window's next mail.
    AttachmentQueue attachments;
    // The mail component: its settings, shared by both mail windows, and the transport of the
    // mail transfer window (the exchange window has its own).
    MailSettings mailSettings;
    MailTransport mailTransport;
    // The exchange window's own connection to the mail component, made with the first one.
    std::unique_ptr<AttachmentMail> exchangeMail;
    // Only the resource guard of the command dispatcher asks; Qt 6 does not run on the
    // Windows 9x family, so it is false wherever this program runs.
    bool isWin9x = false;
};

} // namespace kvx
