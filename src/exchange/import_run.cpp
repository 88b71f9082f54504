#include "exchange/import_run.h"

#include "exchange/exchange_run_base.h"
#include "exchange/import_completion.h"
#include "exchange/import_document.h"
#include "exchange/operations_file.h"
#include "exchange/result_report.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

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
};

RunSummary ImportRun::run() {
    if (m_input.items.isEmpty()) {
        warn(QStringLiteral("请选择需要导入的项目！"));
        return m_summary;
    }
    if (!m_setup.loadConditions()) {
        warn(SharedText::fileMissing(m_setup.conditionFilePath()));
        return m_summary;
    }
    QString refusal;
    if (!m_setup.useLogin(m_input.login, &refusal)) {
        warn(refusal);
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
    line += QStringLiteral("成功 %1 项，失败 %2 项，结果未知 %3 项，未执行 %4 项，共 %5 项")
                .arg(m_summary.exchanged)
                .arg(m_summary.failed)
                .arg(m_summary.unanswered)
                .arg(m_summary.notRun())
                .arg(m_summary.count);
    m_summary.report += kCrLf + line + kCrLf;
}

ExchangeRunBase::ItemEnd ImportRun::runItem(const SelectedExchangeItem& selected, int position) {
    const QString& label = selected.label;
    showProgress(QStringLiteral("正在导入") + label + QStringLiteral("....."), position);
    const CatalogueItem item = findItem(label);
    if (item.isNull())
        return ItemEnd::Failed;

    const XmlElement conditionItem = m_setup.conditionItem(item.interfaceName, label, m_senderCode);
    QString path = conditionItem.attribute(QStringLiteral("importfile")).trimmed();
    if (path.isEmpty())
        path = ChooseImportFile(label);
    if (path.isEmpty())
        return ItemEnd::Skipped;
    ImportDocument document;
    QString error;
    if (!document.load(path, &error) || !document.checkItem(item, &error)) {
        warn(error);
        return ItemEnd::Failed;
    }

    OperationsEntry entry;
    if (!findOperationsEntry(selected, &entry, &error))
        return abort(error);
    const ImportCompletion completion{m_input.conversion ? QStringLiteral("y")
                                                         : QStringLiteral("n"),
                                      label, item.family, m_senderCode, m_setup.credentials()};
    if (!document.complete(WorkOutImportDirectives(selected.operationString, entry), completion,
                           &error))
        return abort(error);

    const Answer answer = exchange(document.takeBody());
    // The report says which items the server may have taken without saying so.
    if (answer.end == ItemEnd::Unanswered)
        m_summary.report += kCrLf + label + kCrLf + answer.message + kCrLf + kCrLf;
    if (answer.document.isNull())
        return answer.end;
    const QString block = AppendResultReport(answer.document, label, QString());
    // The last result stays in the application folder for a look at what the server said.
    saveDocument(answer.document, m_services.folder.resolve(QStringLiteral("\\Kvxtemp.xml")));
    m_summary.report += kCrLf + block;
    showProgress(QStringLiteral("导入") + label + QStringLiteral("结束！"), position);
    return ItemEnd::Exchanged;
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
