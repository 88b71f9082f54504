#pragma once

namespace kvx {

// The exchange window's connection to the outside mail component. After an export whose
// files are to go by mail, the run asks it to transfer; the component then asks for the new
// mail's content and is given the attachment queue.
class MailTransport {
public:
    virtual ~MailTransport() = default;
    virtual void transfer() = 0;
};

} // namespace kvx
