#include "catalogue/operations_file.h"
#include "cli_output.h"
#include "cli_session.h"
#include "commands.h"
#include "documents/import_document.h"
#include "documents/operation_check.h"
#include "platform/shared_texts.h"
#include "run_driver.h"
#include "settings/login_settings.h"
#include "terminal_progress.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace kvx {

namespace {

QString endText(RunSummary::End end) {
    switch (end) {
    case RunSummary::End::Refused:
        break;
    case RunSummary::End::Completed:
        return QStringLiteral("completed");
    case RunSummary::End::Cancelled:
        return QStringLiteral("cancelled");
    case RunSummary::End::Aborted:
        return QStringLiteral("aborted");
    }
    return QStringLiteral("refused");
}

// A run refused before its first item lacked a setting or file; a request that failed or was
// not answered leaves the outcome open; refused records are the server's word on the data.
ExitStatus statusOf(const RunSummary& summary) {
    if (summary.end == RunSummary::End::Refused)
        return ExitStatus::BadInput;
    if (summary.end == RunSummary::End::Aborted || summary.failed > 0 || summary.unanswered > 0)
        return ExitStatus::Unknown;
    if (summary.refusedRecords() > 0)
        return ExitStatus::RecordsRefused;
    return ExitStatus::Done;
}

QJsonObject jsonOf(const CliOptions& options, const CatalogueItem& item, const QString& path,
                   const RunSummary& summary, const CliPrompter& prompter, ExitStatus status) {
    QJsonArray items;
    for (const RunHistory::Item& done : summary.items)
        items.append(QJsonObject{{"item", done.item},
                                 {"file", done.file},
                                 {"outcome", done.outcome},
                                 {"succeeded", done.succeeded},
                                 {"failed", done.failed},
                                 {"failedRecordsFile", done.failedRecordsFile},
                                 {"report", done.report}});
    return {{"command", options.command == CliOptions::Command::Import ? "import" : "export"},
            {"item", item.label},
            {"interfaceName", item.interfaceName},
            {"file", path},
            {"outcome", endText(summary.end)},
            {"exitStatus", exitCode(status)},
            {"items", items},
            {"messages", QJsonArray::fromStringList(prompter.messages())},
            {"report", prompter.report()}};
}

// What the run would only find out after the server was asked, or not at all: a document that
// is not the item's, an operation the item does not have, a file that cannot be written.
bool precheck(const CliOptions& options, const CliSession& session, const CatalogueItem& item,
              const OperationsFile& operations, const QString& path, int* records, QString* error) {
    if (options.command == CliOptions::Command::Export) {
        // A read-only file there is overwritten, as the console's export does.
        const QFileInfo target(path);
        const QFileInfo folder(target.absolutePath());
        if (!folder.isDir() || !folder.isWritable() || target.isDir()) {
            *error = QDir::toNativeSeparators(path) + QStringLiteral("无法写入！");
            return false;
        }
        return true;
    }
    ImportDocument document;
    if (!document.load(path, error) || !document.checkItem(item, error))
        return false;
    *records = document.childElementCount(item.interfaceName);
    const QStringList findings =
        checkOperationString(options.operation, item.label, operations, session.folder());
    *error = findings.join(QLatin1Char('\n'));
    return findings.isEmpty();
}

} // namespace

ExitStatus runExchangeCommand(const CliOptions& options) {
    QString error;
    const std::optional<AppFolder> folder = CliSession::folderOf(options, &error);
    if (!folder)
        return refuseCommand(options, error);
    CliSession session(*folder);
    const std::optional<LoginSettings> login = LoginSettings::load(*folder);
    if (!login)
        return refuseCommand(
            options, SharedText::fileMissing(folder->resolve(LoginSettings::relativePath())));
    CatalogueItem item;
    if (!session.findItem(options.item, &item, &error))
        return refuseCommand(options, error);
    OperationsFile operations;
    operations.load(*folder); // without it the run says what it cannot do
    const QString path = QFileInfo(options.file).absoluteFilePath();
    int records = 0;
    if (!precheck(options, session, item, operations, path, &records, &error))
        return refuseCommand(options, error);

    const bool imports = options.command == CliOptions::Command::Import;
    ExchangeRunInput input;
    input.items = {{item.label, imports ? options.operation : QString(), options.conversion, path}};
    input.senderCode = options.senderCode;
    input.login = *login;
    input.catalogue = &session.catalogue();
    input.operations = &operations;
    input.origin = RunHistory::Origin::CommandLine;
    TerminalProgress host(records);
    const RunSummary summary =
        driveRun(session.services(), input, host,
                 imports ? RunHistory::Direction::Import : RunHistory::Direction::Export);
    const ExitStatus status = statusOf(summary);
    if (options.json)
        CliOutput::json(jsonOf(options, item, path, summary, session.prompter(), status));
    else if (!session.prompter().report().isEmpty())
        CliOutput::out(session.prompter().report().trimmed());
    return status;
}

ExitStatus refuseCommand(const CliOptions& options, const QString& text) {
    if (options.json)
        CliOutput::json({{"exitStatus", exitCode(ExitStatus::BadInput)}, {"error", text}});
    CliOutput::error(text);
    return ExitStatus::BadInput;
}

} // namespace kvx
