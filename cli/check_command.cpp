#include "catalogue/operations_file.h"
#include "cli_output.h"
#include "cli_session.h"
#include "commands.h"
#include "documents/import_file_check.h"
#include "documents/operation_check.h"

#include <QFileInfo>
#include <QJsonArray>

namespace kvx {

ExitStatus runCheckCommand(const CliOptions& options) {
    QString error;
    const std::optional<AppFolder> folder = CliSession::folderOf(options, &error);
    if (!folder)
        return refuseCommand(options, error);
    CliSession session(*folder);
    CatalogueItem item;
    if (!session.findItem(options.item, &item, &error))
        return refuseCommand(options, error);
    OperationsFile operations;
    operations.load(*folder);
    const QString path = QFileInfo(options.file).absoluteFilePath();
    const ImportFileCheck check = ImportFileCheck::checkFile(
        *folder, path, {item.label, item.interfaceName},
        checkOperationString(options.operation, item.label, operations, *folder));

    const ExitStatus status = !check.isReadable()        ? ExitStatus::BadInput
                              : check.findingCount() > 0 ? ExitStatus::RecordsRefused
                                                         : ExitStatus::Done;
    if (!options.json) {
        CliOutput::out(check.report(item.label, path).trimmed());
        return status;
    }
    QJsonArray findings;
    for (const ImportCheckFinding& finding : check.findings())
        findings.append(QJsonObject{
            {"position", finding.position}, {"key", finding.key}, {"text", finding.text}});
    CliOutput::json({{"command", "check"},
                     {"item", item.label},
                     {"interfaceName", item.interfaceName},
                     {"file", path},
                     {"readable", check.isReadable()},
                     {"records", check.recordCount()},
                     {"findingCount", check.findingCount()},
                     {"findings", findings},
                     {"exitStatus", exitCode(status)}});
    return status;
}

} // namespace kvx
