#include "cli_options.h"
#include "cli_output.h"
#include "commands.h"
#include "platform/xml/xml_document.h"

#include <QCoreApplication>

// kvx, the command line of the exchange console: the console's imports and exports, the dry
// run of an import file, the run history and the plan agent's run of a schedule, for scripts
// and for sites where nobody sits at the console.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvx"));
    kvx::XmlDocument::initializeLibrary();

    QString error;
    const std::optional<kvx::CliOptions> options = kvx::CliOptions::parse(app.arguments(), &error);
    if (!options) {
        kvx::CliOutput::error(error + QStringLiteral("\n请用 kvx --help 查看用法。"));
        return kvx::exitCode(kvx::ExitStatus::BadInput);
    }
    switch (options->command) {
    case kvx::CliOptions::Command::Help:
        kvx::CliOutput::out(kvx::CliOptions::usage());
        return kvx::exitCode(kvx::ExitStatus::Done);
    case kvx::CliOptions::Command::Import:
    case kvx::CliOptions::Command::Export:
        return kvx::exitCode(kvx::runExchangeCommand(*options));
    case kvx::CliOptions::Command::Check:
        return kvx::exitCode(kvx::runCheckCommand(*options));
    case kvx::CliOptions::Command::History:
        return kvx::exitCode(kvx::runHistoryCommand(*options));
    case kvx::CliOptions::Command::RunNow:
        return kvx::exitCode(kvx::runRunNowCommand(*options));
    }
    return kvx::exitCode(kvx::ExitStatus::BadInput);
}
