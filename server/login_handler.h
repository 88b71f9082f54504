#pragma once

#include "server/exchange_reply.h"

namespace kvx {

class AccessRegistry;
class XmlDocument;

// Answers a login request (root `opinfo` with uid, pwd, date, sender): the root's first
// child says `succeed` ("0" on success) and `dsc`; on success one `item` per right follows,
// its `succeed` "1" when the operator holds the right and "0" otherwise.
class LoginHandler {
public:
    explicit LoginHandler(AccessRegistry& access)
        : m_access(access) {}

    ExchangeReply handle(const XmlDocument& request) const;

private:
    AccessRegistry& m_access;
};

} // namespace kvx
