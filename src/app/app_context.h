#pragma once

#include "exchange/attachment_queue.h"
#include "login/login_context.h"
#include "settings/path_settings.h"

namespace kvx {

// The process-wide records. The main frame owns the one instance and hands it, with the
// services, to the windows it opens.
struct AppContext {
    LoginContext login;
    PathSettings paths; // empty until the mail transfer loads them
    // Exported files waiting for the exchange window's next mail.
    AttachmentQueue attachments;
    // Only the resource guard of the command dispatcher asks; Qt 6 does not run on the
    // Windows 9x family, so it is false wherever this program runs.
    bool isWin9x = false;
};

} // namespace kvx
