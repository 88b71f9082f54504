#pragma once

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace kvx {

// Passwords that must not stand in a settings file, kept in the system's keyring (the Secret
// Service on Linux, the credential store on Windows) through QtKeychain. Both calls return at
// once; the answer arrives through the event loop, on the thread of `receiver`, and is dropped
// when the receiver is gone.
namespace Keyring {

// `password` is empty when the keyring holds nothing under the key; `error` says why the
// keyring could not be asked.
using ReadDone = std::function<void(const std::optional<QString>& password, const QString& error)>;
void read(const QString& key, QObject* receiver, ReadDone done);

using WriteDone = std::function<void(const QString& error)>;
void write(const QString& key, const QString& password, QObject* receiver, WriteDone done);

} // namespace Keyring

} // namespace kvx
