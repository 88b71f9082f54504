#pragma once

#include <QString>

namespace kvx {

// Where an export hands the files it queued for mail: the exchange window's own connection
// to the mail component. After an export whose files are to go by mail, the run asks it to
// transfer; the component then takes the attachment queue into a new mail.
class MailHandOver {
public:
    virtual ~MailHandOver() = default;
    virtual void transfer() = 0;

    // Said when no mail component is connected: the exported files stay queued.
    static QString notConnectedMessage() {
        return QStringLiteral("未连接邮件组件，导出的文件尚未发送！");
    }
};

} // namespace kvx
