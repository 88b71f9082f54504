#pragma once

#include "platform/mail/mail_transport.h"

namespace kvx {

// The exchange tag: the mail component takes only mails marked with it for exchange mails.
inline QString exchangeMailTag() {
    return QStringLiteral("KV");
}

// initMail, as both mail windows connect to their transport: the transport takes the
// configuration text and, when there is one, is started with the exchange tag, and its events
// reach the receiver. With an empty text nothing is connected and no event arrives. A text
// that cannot be used is kept by the transport, and its next transfer says why.
template <typename Receiver>
void initMail(MailTransport& transport, const QString& configText, Receiver* receiver,
              void (Receiver::*afterNewMail)(const QString&),
              void (Receiver::*onGetFrom)(const QString&)) {
    transport.setConfigText(configText);
    if (configText.isEmpty())
        return;
    transport.setExchangeTag(exchangeMailTag());
    transport.start();
    transport.connectEvents(receiver, afterNewMail, onGetFrom);
}

} // namespace kvx
