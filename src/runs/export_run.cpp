#include "runs/export_run.h"

#include "documents/interface_documents.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/attachment_queue.h"
#include "runs/exchange_run_base.h"
#include "runs/mail_hand_over.h"

#include <QHash>

namespace kvx {

namespace {

const QString kValue = QStringLiteral("value");
const QString kCrLf = QStringLiteral("\r\n");
const QString kNotRun = QStringLiteral("已取消，未执行");

int recordCount(const XmlDocument& data, const QString& roottag) {
    int count = 0;
    for (const XmlElement& child : data.root().childElements())
        count += child.name() == roottag ? 1 : 0;
    return count;
}

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
    // What the run did for each item: the file written with its records, or why there is
    // none; then the counts.
    QString summary() const;

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
    m_summary.report = summary();
    m_services.prompter.displayText(m_summary.report);
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
    QString path = selected.file.isEmpty()
                       ? conditionItem.attribute(QStringLiteral("exportfile")).trimmed()
                       : selected.file;
    if (path.isEmpty())
        path = ChooseExportFile(label);
    if (path.isEmpty())
        return ItemEnd::Skipped;

    Answer answer = exchange(queryEnvelope(item, conditionItem, selected).toBytes());
    if (answer.document.isNull()) {
        // Nothing was sent: the history and the summary say so.
        if (answer.end == ItemEnd::Skipped)
            m_item.report += kNotRun;
        return answer.end;
    }
    XmlDocument& data = answer.document;
    NormalizeDataDocument(data, item.interfaceName, m_senderCode);
    m_item.file = path;
    m_item.succeeded = recordCount(data, item.interfaceName);
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
    appendOpinfo(envelope, m_setup.credentials());
    return envelope;
}

QString ExportRun::summary() const {
    QString text = QStringLiteral("导出结果") + kCrLf;
    for (int i = 0; i < m_summary.count; ++i) {
        text += m_input.items.at(i).label + QStringLiteral("：");
        if (i >= m_itemsDone.size()) {
            text += m_summary.end == RunSummary::End::Aborted ? QStringLiteral("未执行") : kNotRun;
            text += kCrLf;
            continue;
        }
        const RunHistory::Item& done = m_itemsDone.at(i);
        static const QHash<QString, QString> outcomes = {
            {QStringLiteral("failed"), QStringLiteral("失败：")},
            {QStringLiteral("unanswered"), QStringLiteral("结果未知：")}};
        if (done.outcome == QLatin1String("exchanged"))
            text += QStringLiteral("已导出 %1 条记录到").arg(done.succeeded) +
                    AppFolder::toNative(done.file);
        else
            text += outcomes.value(done.outcome) + done.report.simplified();
        text += kCrLf;
    }
    static const QHash<RunSummary::End, QString> ends = {
        {RunSummary::End::Completed, QStringLiteral("导出结束：")},
        {RunSummary::End::Cancelled, QStringLiteral("导出已取消：")},
        {RunSummary::End::Aborted, QStringLiteral("导出因错误中止：")}};
    return text + kCrLf + ends.value(m_summary.end) + m_summary.countsText() + kCrLf;
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
