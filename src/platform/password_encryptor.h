#pragma once

#include <QString>

namespace kvx {

// The password component: one text in, one text out, the same output for the same input.
// PBKDF2-HMAC-SHA256 over the UTF-8 text with the fixed salt "KVXEncrypt", 10000 rounds,
// 32 bytes, written as lower-case hex. The exchange server stores and compares this value.
class PasswordEncryptor {
public:
    QString ascPwd(const QString& text) const;
};

} // namespace kvx
