#pragma once

#include "fixed_clock.h"
#include "platform/owned_services.h"
#include "platform/password_encryptor.h"
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
using TestServices = OwnedServices<RecordingPrompter, FixedClock>;

} // namespace kvx::test
