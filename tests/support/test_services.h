#pragma once

#include "fixed_clock.h"
#include "platform/help_viewer.h"
#include "platform/http_client.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "recording_prompter.h"

#include <QHash>

namespace kvx::test {

// AscPwd of a password, as a login saves it and a server stores it (cached: the password
// component is slow on purpose).
inline QString encryptedPassword(const QString& password) {
    static QHash<QString, QString> known;
    auto found = known.find(password);
    if (found == known.end())
        found = known.insert(password, PasswordEncryptor().ascPwd(password));
    return *found;
}

// The services a program builds, on a test's application folder: real HTTP, shell and help,
// the person's answers scripted, the clock fixed.
struct TestServices {
    explicit TestServices(const QString& folder)
        : services{AppFolder(folder), prompter, http, clock, shell, help, PasswordEncryptor{}} {}

    RecordingPrompter prompter;
    HttpClient http;
    FixedClock clock;
    DesktopShell shell;
    ShellHelpViewer help{shell};
    Services services;
};

} // namespace kvx::test
