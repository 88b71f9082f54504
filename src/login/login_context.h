#pragma once

#include "settings/login_settings.h"

#include <QString>

namespace kvx {

// The current login. The persistent half is what the login saved to "\LoginWan.ini" (the
// session keeps it even when the file could not be written); the memory half exists only
// after a successful login and changes only with the next one. Windows, runs and the status
// bar read the session's values from here.
struct LoginContext {
    LoginSettings persistent;
    QString senderCode;        // trimmed registration code typed at login
    bool canConfigure = false; // right "KV020202": the condition editor
    bool canExecute = false;   // right "KV0203": the exchange window
    bool loggedIn = false;

    void acceptLogin(const LoginSettings& saved, const QString& sender, bool configure,
                     bool execute);
};

} // namespace kvx
