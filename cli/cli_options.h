#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvx {

// The command line of `kvx`: one command with its arguments and options.
struct CliOptions {
    enum class Command { Help, Import, Export, Check, History, RunNow };

    Command command = Command::Help;
    QString appDir; // --app-dir, else KVX_APP_DIR; empty when neither
    QString item;   // import, export, check: label or interface name
    QString file;
    QString schedule;               // run-now: the schedule's registration code
    QString operation;              // --operation
    std::optional<bool> conversion; // --conversion y|n
    QString senderCode;             // --code
    bool json = false;              // --json
    bool failedOnly = false;        // history --failed
    QDate since;                    // history --since

    // Reads the arguments (the program's name first); nullopt with *error when they do not
    // make a command.
    static std::optional<CliOptions> parse(const QStringList& arguments, QString* error);
    // The text of --help.
    static QString usage();
};

} // namespace kvx
