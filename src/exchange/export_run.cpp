#include "exchange/export_run.h"

#include "exchange/attachment_queue.h"
#include "exchange/exchange_run_base.h"
#include "exchange/interface_documents.h"
#include "exchange/mail_hand_over.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

namespace kvx {

namespace {

const QString kValue = QStringLiteral("value");

class ExportRun : public ExchangeRunBase {
public:
    ExportRun(Services& services, const ExchangeRunInput& input, RunHost& host)
        : ExchangeRunBase(services, input, host, Direction::Export)
        , m_today(services.clock.today().toString(QStringLiteral("yyyy-MM-dd"))) {}

    RunSummary run();

private:
    ItemEnd runItem(const SelectedExchangeItem& item, int position) override;
    XmlDocument queryEnvelope(const CatalogueItem& item, const XmlElement& conditionItem,
                              const SelectedExchangeItem& selected) const;
    void handOverToMail();

    QString m_today;
};

RunSummary ExportRun::run() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导出的项目！"));
        return m_summary;
    }
    if (m_senderCode.isEmpty()) {
        refuse(QStringLiteral("导出时需选择注册编码！"));
        return m_summary;
    }
    if (!m_setup.loadConditions(m_input.planConditions)) {
        // The plan agent's file is named as it is; the console's keeps its fixed text.
        refuse(m_input.planConditions
                   ? SharedText::fileMissing(m_setup.conditionFilePath())
                   : m_services.folder.displayPath(QStringLiteral("\\Xml\\Operation")) +
                         AppFolder::toNative(QStringLiteral("/")) +
                         QStringLiteral("condition.xml文件不存在！"));
        return m_summary;
    }
    QString refusal;
    if (!m_setup.useLogin(m_input.login, &refusal)) {
        refuse(refusal);
        return m_summary;
    }
    runItems();
    if (m_summary.end == RunSummary::End::Completed && m_input.mail)
        handOverToMail();
    return m_summary;
}

ExchangeRunBase::ItemEnd ExportRun::runItem(const SelectedExchangeItem& selected, int position) {
    const QString& label = selected.label;
    showProgress(QStringLiteral("正在导出") + label + QStringLiteral("....."), position);
    const CatalogueItem item = findItem(label);
    if (item.isNull())
        return ItemEnd::Failed;

    XmlElement conditionItem = m_setup.conditionItem(item.interfaceName, label, m_senderCode);
    // The day of the run, in the condition file loaded for this run only: the file keeps
    // the word.
    for (XmlElement condition : conditionItem.childElements()) {
        if (condition.attribute(kValue).toUpper() == QLatin1String("TODAY"))
            condition.setAttribute(kValue, m_today);
    }
    QString path = conditionItem.attribute(QStringLiteral("exportfile")).trimmed();
    if (path.isEmpty())
        path = ChooseExportFile(label);
    if (path.isEmpty())
        return ItemEnd::Skipped;

    Answer answer = exchange(queryEnvelope(item, conditionItem, selected).toBytes());
    if (answer.document.isNull())
        return answer.end;
    XmlDocument& data = answer.document;
    NormalizeDataDocument(data, item.interfaceName, m_senderCode);
    m_item.file = path;
    m_item.succeeded = int(
        data.root()
            .select(QStringLiteral("*[name() = $n]"), {{QStringLiteral("n"), item.interfaceName}})
            .size());
    if (!saveDocument(data, path))
        return ItemEnd::Failed;
    m_summary.files.append(path);
    if (m_input.mail && m_input.attachments)
        m_input.attachments->QueueMailAttachment(path);
    showProgress(QStringLiteral("导出") + label + QStringLiteral("结束！"), position);
    return ItemEnd::Exchanged;
}

XmlDocument ExportRun::queryEnvelope(const CatalogueItem& item, const XmlElement& conditionItem,
                                     const SelectedExchangeItem& selected) const {
    XmlDocument envelope = XmlDocument::fromString(
        BuildQueryEnvelope(item.interfaceName, m_senderCode, conversionFlag(selected)));
    XmlElement root = envelope.root();
    root.setAttribute(QStringLiteral("display"), item.label);
    root.setAttribute(QStringLiteral("family"), item.family);
    if (!conditionItem.isNull())
        root.appendCopy(conditionItem);
    AppendOpinfo(envelope, m_setup.credentials());
    return envelope;
}

void ExportRun::handOverToMail() {
    // Files of an earlier, cancelled run may wait in the queue too; an empty queue has
    // nothing to send.
    if (!m_input.attachments || m_input.attachments->isEmpty())
        return;
    if (m_input.mailTransport) {
        m_input.mailTransport->transfer();
        return;
    }
    m_services.prompter.message(MailHandOver::notConnectedMessage(), SharedText::promptTitle(),
                                Prompter::Icon::Information);
}

} // namespace

RunSummary RunExport(Services& services, const ExchangeRunInput& input, RunHost& host) {
    return ExportRun(services, input, host).run();
}

} // namespace kvx
