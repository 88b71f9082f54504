#include "login/login_request.h"

#include "platform/xml/xml_document.h"

namespace kvx {

XmlDocument LoginRequest::toDocument() const {
    XmlDocument document = XmlDocument::create(QStringLiteral("opinfo"));
    XmlElement root = document.root();
    root.setAttribute(QStringLiteral("uid"), user);
    root.setAttribute(QStringLiteral("pwd"), encryptedPassword);
    root.setAttribute(QStringLiteral("date"), date);
    root.setAttribute(QStringLiteral("sender"), sender);
    return document;
}

QByteArray LoginRequest::toBytes() const {
    return toDocument().toBytes();
}

} // namespace kvx
