#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kvx {

// The exchange server's answer to a login request. The root's first child element carries
// "succeed" ("0" is success) and "dsc"; a success also carries the two rights as `item`
// children of the root, keyed "KV020202" (configure) and "KV0203" (execute).
struct LoginAnswer {
    enum class Kind {
        Succeeded,     // success with both rights readable
        Refused,       // the server said no; `description` holds its reason
        RightsMissing, // success, but a rights item is missing or unreadable
        Unreadable     // not XML, or no first child element
    };

    Kind kind = Kind::Unreadable;
    QString description;
    QString xmlText; // the whole answer, as XML text when it is XML
    bool canConfigure = false;
    bool canExecute = false;
    // Right "KV0301", to edit schedules: its own item when the answer has one, else the
    // right to configure.
    bool canEditSchedules = false;

    static LoginAnswer read(const QByteArray& body);

    // A numeric text is true when not zero; "True" and "False" in any letter case are
    // accepted; anything else is not a Boolean.
    static std::optional<bool> toBoolean(const QString& text);
};

} // namespace kvx
