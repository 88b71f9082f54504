#include "runs/import_run.h"

#include "catalogue/operations_file.h"
#include "conditions/item_structure.h"
#include "documents/failed_records.h"
#include "documents/import_completion.h"
#include "documents/result_report.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

namespace kvx {

namespace {

const QString kCrLf = SharedText::reportLineEnd();

struct Outcome {
    bool ok = false;
    QString error;
};

} // namespace

struct ImportRun::Reported {
    FailedRecords failed;
    ResultCounts counts;
    QString block;
};

ImportRun::ImportRun(Services& services, ExchangeRunInput input, QObject* parent)
    : ExchangeRun(services, std::move(input), RunHistory::Direction::Import, parent) {}

bool ImportRun::checkInput() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导入的项目！"));
        return false;
    }
    if (!m_setup.loadConditions(m_input.planConditions)) {
        refuse(SharedText::fileMissing(m_setup.conditionFilePath()));
        return false;
    }
    QString refusal;
    if (!m_setup.useLogin(m_input.login, &refusal)) {
        refuse(refusal);
        return false;
    }
    return true;
}

void ImportRun::concludeRun() {
    QString line;
    if (m_summary.end == RunSummary::End::Cancelled)
        line = QStringLiteral("导入已取消：");
    else if (m_summary.end == RunSummary::End::Aborted)
        line = QStringLiteral("导入因错误中止：");
    if (!line.isEmpty())
        m_summary.report += kCrLf + line + m_summary.countsText() + kCrLf;
    if (!m_summary.report.isEmpty())
        m_services.prompter.displayText(m_summary.report);
}

void ImportRun::runItem(const SelectedExchangeItem& selected, int position) {
    m_current = {selected, position, {}, {}, {}};
    const QString& label = selected.label;
    showProgress(QStringLiteral("正在导入") + label + QStringLiteral("....."), position);
    m_current.item = findItem(label);
    if (m_current.item.isNull()) {
        endItem(ItemEnd::Failed);
        return;
    }
    const XmlElement conditionItem =
        m_setup.conditionItem(m_current.item.interfaceName, label, m_senderCode);
    QString path = selected.file.isEmpty()
                       ? conditionItem.attribute(QStringLiteral("importfile")).trimmed()
                       : selected.file;
    if (path.isEmpty())
        path = ChooseImportFile(label);
    if (path.isEmpty()) {
        endItem(ItemEnd::Skipped);
        return;
    }
    m_current.path = path;
    // A file of many megabytes is read and checked on the worker thread.
    auto document = std::make_shared<ImportDocument>();
    m_current.document = document;
    inBackground(
        [document, path] {
            Outcome loaded;
            loaded.ok = document->load(path, &loaded.error);
            return loaded;
        },
        [this](Outcome loaded) { completeDocument(loaded.ok, loaded.error); });
}

void ImportRun::completeDocument(bool loaded, const QString& loadError) {
    const SelectedExchangeItem& selected = m_current.selected;
    QString error = loadError;
    if (!loaded || !m_current.document->checkItem(m_current.item, &error)) {
        warn(error);
        endItem(ItemEnd::Failed);
        return;
    }
    OperationsEntry entry;
    if (!findOperationsEntry(selected, &entry, &error)) {
        endItem(abort(error));
        return;
    }
    m_item.file = m_current.path;
    m_item.operation = selected.operationString;
    m_item.conversion = conversionFlag(selected) == QLatin1String("y");
    const ImportCompletion completion{conversionFlag(selected), selected.label,
                                      m_current.item.family, m_senderCode, m_setup.credentials()};
    const ImportDirectives directives = workOutImportDirectives(selected.operationString, entry);
    inBackground(
        [document = m_current.document, directives, completion] {
            Outcome completed;
            completed.ok = document->complete(directives, completion, &completed.error);
            return completed;
        },
        [this](Outcome completed) {
            if (!completed.ok) {
                endItem(abort(completed.error));
                return;
            }
            exchange(m_current.document->takeBody(),
                     [this](Answer answer) { takeResult(std::move(answer)); });
        });
}

void ImportRun::takeResult(Answer answer) {
    const QString& label = m_current.selected.label;
    // The report says which items the server may have taken without saying so.
    if (answer.end == ItemEnd::Unanswered)
        m_summary.report += kCrLf + label + kCrLf + answer.message + kCrLf + kCrLf;
    if (answer.document.isNull()) {
        endItem(answer.end);
        return;
    }
    const CatalogueItem& item = m_current.item;
    QString keyField = ItemStructure::load(m_services.folder, item.interfaceName).keyField();
    if (keyField.isEmpty())
        keyField = FailedRecords::defaultKeyField();
    const ImportDocument& document = *m_current.document;
    const FailedRecords::Source source{m_current.path, document.sourceBytes(), item.interfaceName,
                                       document.childElementCount(item.interfaceName), keyField};
    auto result = std::make_shared<const XmlDocument>(std::move(answer.document));
    inBackground(
        [source, result, label] {
            Reported reported;
            reported.failed = FailedRecords::write(source, *result);
            reported.counts = countResults(*result);
            reported.block = AppendResultReport(*result, label, QString());
            return reported;
        },
        [this, result](Reported reported) { report(result, std::move(reported)); });
}

void ImportRun::report(std::shared_ptr<const XmlDocument> result, Reported reported) {
    m_item.succeeded = reported.counts.succeeded;
    m_item.failed = reported.counts.failed;
    if (reported.failed.outcome == FailedRecords::Outcome::Written) {
        m_summary.failedRecordFiles.append(reported.failed.path);
        m_item.failedRecordsFile = reported.failed.path;
    }
    QString block = reported.block;
    const QString line = reported.failed.reportLine();
    // Before the empty line that ends the block.
    if (!line.isEmpty())
        block.insert(block.size() - kCrLf.size(), line + kCrLf);
    m_item.report += block;
    // The last result stays in the application folder for a look at what the server said.
    saveDocument(result, m_services.folder.resolve(QStringLiteral("\\Kvxtemp.xml")),
                 [this, block](bool) {
                     m_summary.report += kCrLf + block;
                     showProgress(QStringLiteral("导入") + m_current.selected.label +
                                      QStringLiteral("结束！"),
                                  m_current.position);
                     endItem(ItemEnd::Exchanged);
                 });
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

} // namespace kvx
