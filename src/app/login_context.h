#pragma once

#include "settings/login_settings.h"

#include <QString>

namespace kvx {

class AppFolder;

// The current login. The persistent half is "\LoginWan.ini" as last saved or read; the
// memory half exists only after a successful login and changes only with the next one.
struct LoginContext {
    LoginSettings persistent;
    QString senderCode;        // trimmed registration code typed at login
    bool canConfigure = false; // right "KV020202": the condition editor
    bool canExecute = false;   // right "KV0203": the exchange window
    bool loggedIn = false;

    // Readers that need the server, user, password or date re-read the file at that moment.
    // A missing file leaves the persistent half as it is.
    void reloadPersistent(const AppFolder& folder);
    void acceptLogin(const LoginSettings& saved, const QString& sender, bool configure,
                     bool execute);
};

} // namespace kvx
