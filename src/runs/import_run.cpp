#include "runs/import_run.h"

#include "catalogue/operations_file.h"
#include "conditions/item_structure.h"
#include "documents/failed_records.h"
#include "documents/import_completion.h"
#include "documents/import_document.h"
#include "documents/result_report.h"
#include "platform/background_work.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "runs/exchange_run_base.h"

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
    // The item's entry in the operations file as the directives need it. False, with
    // *error, when the operations file cannot say what the operation string asks for.
    bool findOperationsEntry(const SelectedExchangeItem& item, OperationsEntry* entry,
                             QString* error) const;
    void addClosingLine();
    // The item's report block with its last line on the failed records, written meanwhile;
    // the history's counts of records taken and refused.
    QString reportOf(const XmlDocument& result, const CatalogueItem& item,
                     const ImportDocument& document, const QString& path);
};

RunSummary ImportRun::run() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导入的项目！"));
        return m_summary;
    }
    if (!m_setup.loadConditions(m_input.planConditions)) {
        refuse(SharedText::fileMissing(m_setup.conditionFilePath()));
        return m_summary;
    }
    QString refusal;
    if (!m_setup.useLogin(m_input.login, &refusal)) {
        refuse(refusal);
        return m_summary;
    }
    runItems();
    addClosingLine();
    if (!m_summary.report.isEmpty())
        m_services.prompter.displayText(m_summary.report);
    return m_summary;
}

void ImportRun::addClosingLine() {
    QString line;
    if (m_summary.end == RunSummary::End::Cancelled)
        line = QStringLiteral("导入已取消：");
    else if (m_summary.end == RunSummary::End::Aborted)
        line = QStringLiteral("导入因错误中止：");
    else
        return;
    m_summary.report += kCrLf + line + m_summary.countsText() + kCrLf;
}

ExchangeRunBase::ItemEnd ImportRun::runItem(const SelectedExchangeItem& selected, int position) {
    const QString& label = selected.label;
    showProgress(QStringLiteral("正在导入") + label + QStringLiteral("....."), position);
    const CatalogueItem item = findItem(label);
    if (item.isNull())
        return ItemEnd::Failed;

    const XmlElement conditionItem = m_setup.conditionItem(item.interfaceName, label, m_senderCode);
    QString path = selected.file.isEmpty()
                       ? conditionItem.attribute(QStringLiteral("importfile")).trimmed()
                       : selected.file;
    if (path.isEmpty())
        path = ChooseImportFile(label);
    if (path.isEmpty())
        return ItemEnd::Skipped;
    // A file of many megabytes is read, checked and completed while the window stays
    // responsive.
    ImportDocument document;
    QString error;
    if (!computeInBackground([&] { return document.load(path, &error); }) ||
        !document.checkItem(item, &error)) {
        warn(error);
        return ItemEnd::Failed;
    }

    OperationsEntry entry;
    if (!findOperationsEntry(selected, &entry, &error))
        return abort(error);
    m_item.file = path;
    m_item.operation = selected.operationString;
    m_item.conversion = conversionFlag(selected) == QLatin1String("y");
    const ImportCompletion completion{conversionFlag(selected), label, item.family, m_senderCode,
                                      m_setup.credentials()};
    const ImportDirectives directives = workOutImportDirectives(selected.operationString, entry);
    if (!computeInBackground([&] { return document.complete(directives, completion, &error); }))
        return abort(error);

    const Answer answer = exchange(document.takeBody());
    // The report says which items the server may have taken without saying so.
    if (answer.end == ItemEnd::Unanswered)
        m_summary.report += kCrLf + label + kCrLf + answer.message + kCrLf + kCrLf;
    if (answer.document.isNull())
        return answer.end;
    const QString block = reportOf(answer.document, item, document, path);
    m_item.report += block;
    // The last result stays in the application folder for a look at what the server said.
    saveDocument(answer.document, m_services.folder.resolve(QStringLiteral("\\Kvxtemp.xml")));
    m_summary.report += kCrLf + block;
    showProgress(QStringLiteral("导入") + label + QStringLiteral("结束！"), position);
    return ItemEnd::Exchanged;
}

QString ImportRun::reportOf(const XmlDocument& result, const CatalogueItem& item,
                            const ImportDocument& document, const QString& path) {
    QString keyField = ItemStructure::load(m_services.folder, item.interfaceName).keyField();
    if (keyField.isEmpty())
        keyField = FailedRecords::defaultKeyField();
    const FailedRecords::Source source{path, document.sourceBytes(), item.interfaceName,
                                       document.childElementCount(item.interfaceName), keyField};
    FailedRecords failed;
    ResultCounts counts;
    QString block = computeInBackground([&] {
        failed = FailedRecords::write(source, result);
        counts = countResults(result);
        return AppendResultReport(result, item.label, QString());
    });
    m_item.succeeded = counts.succeeded;
    m_item.failed = counts.failed;
    if (failed.outcome == FailedRecords::Outcome::Written) {
        m_summary.failedRecordFiles.append(failed.path);
        m_item.failedRecordsFile = failed.path;
    }
    const QString line = failed.reportLine();
    // Before the empty line that ends the block.
    if (!line.isEmpty())
        block.insert(block.size() - kCrLf.size(), line + kCrLf);
    return block;
}

bool ImportRun::findOperationsEntry(const SelectedExchangeItem& item, OperationsEntry* entry,
                                    QString* error) const {
    if (!namesOperation(item.operationString))
        return true; // a blank operation is posted as "add" whatever the file says
    const OperationsFile* operations = m_input.operations;
    if (!operations || !operations->isLoaded()) {
        *error = OperationsFile::missingFileMessage(m_services.folder);
        return false;
    }
    const XmlElement entryElement = operations->findEntryElement(item.label);
    if (entryElement.isNull())
        return true;
    const QString operation = operationNameOf(item.operationString).trimmed();
    const XmlElement operationElement = operations->findOperationElement(operation);
    if (operationElement.isNull() || !operationElement.hasAttribute(QStringLiteral("proc"))) {
        *error = OperationsFile::missingProcMessage(operation);
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
