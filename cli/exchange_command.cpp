#include "catalogue/operations_file.h"
#include "cli_output.h"
#include "cli_session.h"
#include "commands.h"
#include "documents/import_document.h"
#include "documents/operation_check.h"
#include "platform/shared_texts.h"
#include "run_driver.h"
#include "run_outcome.h"
#include "settings/login_settings.h"
#include "terminal_progress.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace kvx {

namespace {

QJsonObject jsonOf(const CliOptions& options, const CatalogueItem& item, const QString& path,
                   const RunSummary& summary, const CliPrompter& prompter, ExitStatus status) {
    QJsonObject json = RunOutcome::jsonOf(summary);
    json.insert("command", options.command == CliOptions::Command::Import ? "import" : "export");
    json.insert("item", item.label);
    json.insert("interfaceName", item.interfaceName);
    json.insert("file", path);
    json.insert("exitStatus", exitCode(status));
    json.insert("messages", QJsonArray::fromStringList(prompter.messages()));
    json.insert("report", prompter.report());
    return json;
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
    TerminalProgress progress(records);
    const RunSummary summary =
        driveRun(session.services(), std::move(input),
                 imports ? RunHistory::Direction::Import : RunHistory::Direction::Export, progress);
    const ExitStatus status = RunOutcome::statusOf(summary);
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
