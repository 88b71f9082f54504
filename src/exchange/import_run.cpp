#include "exchange/import_run.h"

#include "exchange/exchange_run_base.h"
#include "exchange/import_completion.h"
#include "exchange/import_document.h"
#include "exchange/operations_file.h"
#include "exchange/result_report.h"
#include "platform/prompter.h"
#include "platform/services.h"

namespace kvx {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

class ImportRun : public ExchangeRunBase {
public:
    ImportRun(Services& services, const ExchangeRunInput& input, RunHost& host)
        : ExchangeRunBase(services, input, host, Direction::Import) {}

    RunSummary run();

private:
    ItemEnd runItem(const SelectedExchangeItem& item, int position) override;
    // Loads the file as a document of the item; false (and the message shown) when it is not.
    bool loadItemDocument(const QString& path, const CatalogueItem& item, ImportDocument& document);
    // The item's entry in the operations file as the directives need it. False, with
    // *error, when the operations file cannot say what the operation string asks for.
    bool findOperationsEntry(const SelectedExchangeItem& item, OperationsEntry* entry,
                             QString* error) const;
    void addClosingLine();
};

RunSummary ImportRun::run() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导入的项目！"));
        return m_summary;
    }
    if (!m_setup.loadConditions()) {
        warn(m_setup.conditionFileDisplayPath() + QStringLiteral("文件不存在！"));
        return m_summary;
    }
    QString refusal;
    if (!m_setup.readLogin(&refusal)) {
        warn(refusal);
        return m_summary;
    }
    runItems();
    addClosingLine();
    if (!m_summary.report.isEmpty())
        m_host.showReport(m_summary.report);
    return m_summary;
}

void ImportRun::addClosingLine() {
    const int done = m_summary.processed - (m_summary.end == RunSummary::End::Aborted ? 1 : 0);
    QString line;
    if (m_summary.end == RunSummary::End::Cancelled)
        line = QStringLiteral("导入已取消：已完成 %1 项，共 %2 项");
    else if (m_summary.end == RunSummary::End::Aborted)
        line = QStringLiteral("导入因错误中止：已完成 %1 项，共 %2 项");
    else
        return;
    m_summary.report += kCrLf + line.arg(done).arg(m_summary.count) + kCrLf;
}

ExchangeRunBase::ItemEnd ImportRun::runItem(const SelectedExchangeItem& selected, int position) {
    const QString& label = selected.label;
    showProgress(QStringLiteral("正在导入") + label + QStringLiteral("....."), position);
    const CatalogueItem item = findItem(label);
    if (item.isNull())
        return ItemEnd::Skipped;

    const XmlElement conditionItem = m_setup.conditionItem(item.interfaceName, label, m_senderCode);
    QString path = conditionItem.attribute(QStringLiteral("importfile")).trimmed();
    if (path.isEmpty())
        path = ChooseImportFile(label);
    if (path.isEmpty())
        return ItemEnd::Skipped;
    ImportDocument document;
    if (!loadItemDocument(path, item, document))
        return ItemEnd::Skipped;

    OperationsEntry entry;
    QString error;
    if (!findOperationsEntry(selected, &entry, &error))
        return abort(error);
    const ImportCompletion completion{m_input.conversion ? QStringLiteral("y")
                                                         : QStringLiteral("n"),
                                      label, item.family, m_senderCode, m_setup.credentials()};
    if (!document.complete(WorkOutImportDirectives(selected.operationString, entry), completion,
                           &error))
        return abort(error);

    const XmlDocument result = exchange(document.takeBody());
    if (result.isNull())
        return ItemEnd::Skipped;
    const QString block = AppendResultReport(result, label, QString());
    // The last result stays in the application folder for a look at what the server said.
    saveDocument(result, m_services.folder.resolve(QStringLiteral("\\Kvxtemp.xml")));
    m_summary.report += kCrLf + block;
    showProgress(QStringLiteral("导入") + label + QStringLiteral("结束！"), position);
    return ItemEnd::Exchanged;
}

bool ImportRun::loadItemDocument(const QString& path, const CatalogueItem& item,
                                 ImportDocument& document) {
    const QString shown = AppFolder::toNative(path);
    switch (document.load(path)) {
    case ImportDocument::Load::Missing:
        warn(shown + QStringLiteral("文件不存在！"));
        return false;
    case ImportDocument::Load::NotXml:
        warn(shown + QStringLiteral("不是Xml格式的文件!"));
        return false;
    case ImportDocument::Load::Refused:
        warn(shown + QStringLiteral("不能导入：") + document.refusal() + QStringLiteral("！"));
        return false;
    case ImportDocument::Load::Loaded:
        break;
    }
    const XmlElement root = document.root();
    const QString roottag = QStringLiteral("roottag");
    if (!root.hasAttribute(roottag)) {
        warn(shown + QStringLiteral("该文件中没有必须的roottag属性！"));
        return false;
    }
    if (root.attribute(roottag) != item.interfaceName) {
        warn(QStringLiteral("选择的文件不是与") + item.label + QStringLiteral("(") +
             item.interfaceName + QStringLiteral(")") + QStringLiteral("相关的文件!"));
        return false;
    }
    if (!document.hasChildElement(item.interfaceName)) {
        warn(QStringLiteral("选择的文件格式不对或文件中不包含数据!"));
        return false;
    }
    return true;
}

bool ImportRun::findOperationsEntry(const SelectedExchangeItem& item, OperationsEntry* entry,
                                    QString* error) const {
    if (!NamesOperation(item.operationString))
        return true; // a blank operation is posted as "add" whatever the file says
    const OperationsFile* operations = m_input.operations;
    if (!operations || !operations->isLoaded()) {
        *error = OperationsFile::missingFileMessage(m_services.folder);
        return false;
    }
    const XmlElement entryElement = operations->findEntryElement(item.label);
    if (entryElement.isNull())
        return true;
    const QString operation = OperationNameOf(item.operationString).trimmed();
    const XmlElement operationElement = operations->findOperationElement(operation);
    if (operationElement.isNull() || !operationElement.hasAttribute(QStringLiteral("proc"))) {
        *error = QStringLiteral("ImOperation.xml中的操作“") + operation +
                 QStringLiteral("”没有proc属性！");
        return false;
    }
    entry->exists = true;
    entry->proc = operationElement.attribute(QStringLiteral("proc"));
    entry->options = OperationEntry::fromElement(entryElement).options;
    return true;
}

} // namespace

RunSummary RunImport(Services& services, const ExchangeRunInput& input, RunHost& host) {
    return ImportRun(services, input, host).run();
}

} // namespace kvx
