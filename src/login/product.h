#pragma once

#include <QString>

// The product's name and the maker's branding as the windows show them.
namespace kvx::Product {

inline QString title() {
    return QStringLiteral("KVX管理系统");
}
// The title of the program's own message boxes.
inline QString applicationTitle() {
    return title();
}
inline QString version() {
    return QStringLiteral("1.0");
}
inline QString makerName() {
    return QStringLiteral("KVX软件");
}
inline QString makerWebAddress() {
    return QStringLiteral("https://www.kvx.example.com/");
}
// Shown in the server box of the login dialog until a login has been saved.
inline QString defaultServerUrl() {
    return QStringLiteral("http://localhost/");
}

} // namespace kvx::Product
