#include "login/login_context.h"

namespace kvx {

void LoginContext::acceptLogin(const LoginSettings& saved, const QString& sender, bool configure,
                               bool execute) {
    persistent = saved;
    senderCode = sender;
    canConfigure = configure;
    canExecute = execute;
    loggedIn = true;
}

} // namespace kvx
