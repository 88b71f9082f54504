#include "runs/export_run.h"

#include "documents/interface_documents.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/attachment_queue.h"
#include "runs/mail_hand_over.h"

#include <QHash>

namespace kvx {

namespace {

const QString kValue = QStringLiteral("value");
const QString kCrLf = SharedText::reportLineEnd();
const QString kNotRun = QStringLiteral("已取消，未执行");

int recordCount(const XmlDocument& data, const QString& roottag) {
    int count = 0;
    for (const XmlElement& child : data.root().childElements())
        count += child.name() == roottag ? 1 : 0;
    return count;
}

} // namespace

ExportRun::ExportRun(Services& services, ExchangeRunInput input, QObject* parent)
    : ExchangeRun(services, std::move(input), RunHistory::Direction::Export, parent)
    , m_today(services.clock.today().toString(QStringLiteral("yyyy-MM-dd"))) {}

bool ExportRun::checkInput() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导出的项目！"));
        return false;
    }
    if (m_senderCode.isEmpty()) {
        refuse(QStringLiteral("导出时需选择注册编码！"));
        return false;
    }
    if (!m_setup.loadConditions(m_input.planConditions)) {
        // The plan agent's file is named as it is; the console's keeps its fixed text.
        refuse(m_input.planConditions
                   ? SharedText::fileMissing(m_setup.conditionFilePath())
                   : m_services.folder.displayPath(QStringLiteral("\\Xml\\Operation")) +
                         AppFolder::toNative(QStringLiteral("/")) +
                         QStringLiteral("condition.xml文件不存在！"));
        return false;
    }
    QString refusal;
    if (!m_setup.useLogin(m_input.login, &refusal)) {
        refuse(refusal);
        return false;
    }
    return true;
}

void ExportRun::concludeRun() {
    if (m_summary.end == RunSummary::End::Completed && m_input.mail)
        handOverToMail();
    m_summary.report = summaryText();
    m_services.prompter.displayText(m_summary.report);
}

void ExportRun::runItem(const SelectedExchangeItem& selected, int position) {
    const QString& label = selected.label;
    m_current = {label, position, {}, {}};
    showProgress(QStringLiteral("正在导出") + label + QStringLiteral("....."), position);
    m_current.item = findItem(label);
    if (m_current.item.isNull()) {
        endItem(ItemEnd::Failed);
        return;
    }
    XmlElement conditionItem =
        m_setup.conditionItem(m_current.item.interfaceName, label, m_senderCode);
    // The day of the run, in the condition file loaded for this run only: the file keeps
    // the word.
    for (XmlElement condition : conditionItem.childElements()) {
        if (condition.attribute(kValue).toUpper() == QLatin1String("TODAY"))
            condition.setAttribute(kValue, m_today);
    }
    m_current.path = selected.file.isEmpty()
                         ? conditionItem.attribute(QStringLiteral("exportfile")).trimmed()
                         : selected.file;
    if (m_current.path.isEmpty())
        m_current.path = ChooseExportFile(label);
    if (m_current.path.isEmpty()) {
        endItem(ItemEnd::Skipped);
        return;
    }
    exchange(queryEnvelope(m_current.item, conditionItem, selected).toBytes(),
             [this](Answer answer) { takeData(std::move(answer)); });
}

void ExportRun::takeData(Answer answer) {
    if (answer.document.isNull()) {
        // Nothing was sent: the history and the summary say so.
        if (answer.end == ItemEnd::Skipped)
            m_item.report += kNotRun;
        endItem(answer.end);
        return;
    }
    auto data = std::make_shared<XmlDocument>(std::move(answer.document));
    const QString& interfaceName = m_current.item.interfaceName;
    NormalizeDataDocument(*data, interfaceName, m_senderCode);
    m_item.file = m_current.path;
    m_item.succeeded = recordCount(*data, interfaceName);
    saveDocument(data, m_current.path, [this](bool saved) {
        if (!saved) {
            endItem(ItemEnd::Failed);
            return;
        }
        m_summary.files.append(m_current.path);
        if (m_input.mail && m_input.attachments)
            m_input.attachments->QueueMailAttachment(m_current.path);
        showProgress(QStringLiteral("导出") + m_current.label + QStringLiteral("结束！"),
                     m_current.position);
        endItem(ItemEnd::Exchanged);
    });
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

QString ExportRun::summaryText() const {
    QString text = QStringLiteral("导出结果") + kCrLf;
    for (int i = 0; i < m_summary.count; ++i) {
        text += m_input.items.at(i).label + QStringLiteral("：");
        if (i >= m_summary.items.size()) {
            text += m_summary.end == RunSummary::End::Aborted ? QStringLiteral("未执行") : kNotRun;
            text += kCrLf;
            continue;
        }
        const RunHistory::Item& done = m_summary.items.at(i);
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

} // namespace kvx
