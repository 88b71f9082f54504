#include "app/login_context.h"

namespace kvx {

void LoginContext::reloadPersistent(const AppFolder& folder) {
    if (const std::optional<LoginSettings> saved = LoginSettings::load(folder))
        persistent = *saved;
}

void LoginContext::acceptLogin(const LoginSettings& saved, const QString& sender, bool configure,
                               bool execute) {
    persistent = saved;
    senderCode = sender;
    canConfigure = configure;
    canExecute = execute;
    loggedIn = true;
}

} // namespace kvx
