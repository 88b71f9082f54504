#include "mail/attachment_mail.h"

#include "login/product.h"
#include "mail/init_mail.h"
#include "mail/mail_contents.h"
#include "platform/prompter.h"
#include "platform/shared_texts.h"
#include "runs/attachment_queue.h"

namespace kvx {

AttachmentMail::AttachmentMail(AttachmentQueue& queue, Prompter& prompter, QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_prompter(prompter) {}

void AttachmentMail::initMail(const QString& configText) {
    kvx::initMail(m_transport, configText, this, &AttachmentMail::Mail1_AfterNewMail,
                  &AttachmentMail::Mail1_OnGetFrom);
}

void AttachmentMail::transfer() {
    if (m_transport.configText().isEmpty()) {
        m_prompter.message(MailHandOver::notConnectedMessage(), SharedText::promptTitle(),
                           Prompter::Icon::Information);
        return;
    }
    m_stored = 0;
    const MailTransferResult result = m_transport.transfer();
    if (result.newMailSent)
        m_queue.removeFirst(m_stored);
    m_stored = 0;
    if (m_queue.isEmpty() && result.ok())
        return;
    QStringList lines = result.errors;
    if (!m_queue.isEmpty())
        lines.append(QStringLiteral("导出的文件尚未发送，已留在发送队列中，将随下一封邮件发出。"));
    m_prompter.message(lines.join(QLatin1Char('\n')), SharedText::promptTitle(),
                       Prompter::Icon::Information);
}

void AttachmentMail::Mail1_AfterNewMail(const QString& strfilename) {
    QList<MailDocument> documents;
    for (const auto& [key, path] : m_queue.entries())
        documents.append({key, path});
    const FillOutcome filled = fillMail(strfilename, documents);
    for (const QString& refusal : filled.refusals)
        m_prompter.message(refusal, Product::applicationTitle(), Prompter::Icon::None);
    if (!filled.ok()) {
        m_prompter.message(filled.error, Product::applicationTitle(), Prompter::Icon::Information);
        m_transport.acknowledgeNewMail(true);
        return;
    }
    m_stored = int(documents.size());
    m_transport.acknowledgeNewMail(false);
}

void AttachmentMail::Mail1_OnGetFrom(const QString&) {
    m_prompter.message(QStringLiteral("请从“系统菜单-〉数据交换-〉邮件传输”中接收数据！"),
                       QStringLiteral("KVX系统工具"), Prompter::Icon::None);
    m_transport.acknowledgeGetFrom(true);
}

} // namespace kvx
