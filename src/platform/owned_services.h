#pragma once

#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/help_viewer.h"
#include "platform/http_client.h"
#include "platform/services.h"
#include "platform/shell.h"

namespace kvx {

// One of each real implementation of the outside world around a program's own prompter (the
// console asks a person, the plan agent logs, a test scripts the answers) and clock, owned
// together with the `Services` that hands them down.
template <typename PrompterType, typename ClockType = SystemClock> struct OwnedServices {
    explicit OwnedServices(AppFolder folder)
        : services{std::move(folder), prompter,           http, clock, shell, help,
                   autostart,         PasswordEncryptor{}} {}
    explicit OwnedServices(const QString& folder)
        : OwnedServices(AppFolder(folder)) {}

    PrompterType prompter;
    HttpClient http;
    ClockType clock;
    DesktopShell shell;
    ShellHelpViewer help{shell};
    // Tests that register anything point XDG_CONFIG_HOME at a folder of their own.
    DesktopAutostart autostart;
    Services services;
};

} // namespace kvx
