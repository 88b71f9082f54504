#include "mail/attachment_mail.h"

#include "login/product.h"
#include "mail/init_mail.h"
#include "mail/mail_contents.h"
#include "platform/shared_texts.h"
#include "runs/attachment_queue.h"

namespace kvx {

AttachmentMail::AttachmentMail(AttachmentQueue& queue, QObject* parent)
    : QObject(parent)
    , m_queue(queue) {
    connect(&m_transport, &MailTransport::finished, this, &AttachmentMail::onTransferFinished);
}

void AttachmentMail::initMail(const QString& configText) {
    kvx::initMail(m_transport, configText, this, &AttachmentMail::Mail1_AfterNewMail,
                  &AttachmentMail::Mail1_OnGetFrom);
}

void AttachmentMail::transfer() {
    if (m_transport.configText().isEmpty()) {
        Q_EMIT transferred({{MailHandOver::notConnectedMessage(), SharedText::promptTitle(),
                             Prompter::Icon::Information}});
        return;
    }
    if (m_transport.isTransferring()) {
        m_again = true;
        return;
    }
    m_stored = 0;
    m_refused = false;
    m_notices.clear();
    m_transport.transfer();
}

void AttachmentMail::Mail1_AfterNewMail(const QString& strfilename) {
    QList<MailDocument> documents;
    for (const auto& [key, path] : m_queue.entries())
        documents.append({key, path});
    m_workers.start(
        this, [strfilename, documents] { return fillMail(strfilename, documents); },
        [this, count = int(documents.size())](const FillOutcome& filled) {
            for (const QString& refusal : filled.refusals)
                m_notices.append({refusal, Product::applicationTitle(), Prompter::Icon::None});
            if (!filled.ok())
                m_notices.append(
                    {filled.error, Product::applicationTitle(), Prompter::Icon::Information});
            else
                m_stored = count;
            m_transport.acknowledgeNewMail(!filled.ok());
        });
}

void AttachmentMail::Mail1_OnGetFrom(const QString&) {
    if (!m_refused)
        m_notices.append({QStringLiteral("请从“系统菜单-〉数据交换-〉邮件传输”中接收数据！"),
                          QStringLiteral("KVX系统工具"), Prompter::Icon::None});
    m_refused = true;
    m_transport.acknowledgeGetFrom(true);
}

void AttachmentMail::onTransferFinished(const MailTransferResult& result) {
    if (result.newMailSent)
        m_queue.removeFirst(m_stored);
    m_stored = 0;
    for (const QString& notice : result.notices)
        m_notices.append({notice, SharedText::promptTitle(), Prompter::Icon::Warning});
    QStringList lines = result.errors;
    if (result.passwordMissing)
        lines.append(QStringLiteral("邮件密码尚未保存：请在“邮件传输”窗口的“路径设置”中输入。"));
    const bool again = std::exchange(m_again, false) && !m_queue.isEmpty();
    if (!m_queue.isEmpty() && !again)
        lines.append(QStringLiteral("导出的文件尚未发送，已留在发送队列中，将随下一封邮件发出。"));
    if (!lines.isEmpty())
        m_notices.append({lines.join(QLatin1Char('\n')), SharedText::promptTitle(),
                          Prompter::Icon::Information});
    Q_EMIT transferred(std::exchange(m_notices, {}));
    if (again)
        transfer();
}

} // namespace kvx
