#include "cli_output.h"
#include "cli_session.h"
#include "commands.h"
#include "history/run_history.h"
#include "history/run_history_model.h"

#include <QFileInfo>
#include <QJsonArray>

namespace kvx {

namespace {

QJsonObject jsonOf(const RunHistoryRow& line) {
    return {{"run", line.runId},
            {"position", line.position},
            {"started", line.started.toString(Qt::ISODate)},
            {"origin", RunHistory::storedOrigin(line.origin)},
            {"operator", line.operatorName},
            {"sender", line.senderCode},
            {"item", line.item},
            {"direction", line.direction == RunHistory::Direction::Export ? "export" : "import"},
            {"succeeded", line.succeeded},
            {"failed", line.failed},
            {"state", line.state}};
}

} // namespace

// The lines of the run history window, newest run first, their columns separated by tabs
// under a line of the columns' names.
ExitStatus runHistoryCommand(const CliOptions& options) {
    QString error;
    const std::optional<AppFolder> folder = CliSession::folderOf(options, &error);
    if (!folder)
        return refuseCommand(options, error);
    QJsonArray lines;
    QString text;
    // A folder without a history has no runs; asking does not make one.
    if (QFileInfo(folder->resolve(RunHistory::relativePath())).isFile()) {
        RunHistory history(*folder);
        // A damaged file has been set aside: said, and the new one read.
        const QString problem = history.takeProblem();
        if (!history.isOpen())
            return refuseCommand(options, problem);
        if (!problem.isEmpty())
            CliOutput::error(problem);
        RunHistoryModel model(history);
        RunHistoryFilter filter;
        filter.problemsOnly = options.failedOnly;
        filter.from = options.since;
        model.setFilter(filter);
        while (model.canFetchMore({}))
            model.fetchMore({});
        QStringList header;
        for (int column = 0; column < RunHistoryModel::kColumnCount; ++column)
            header << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        if (model.rowCount() > 0)
            text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
        for (int row = 0; row < model.rowCount(); ++row) {
            lines.append(jsonOf(model.line(row)));
            QStringList columns;
            for (int column = 0; column < RunHistoryModel::kColumnCount; ++column)
                columns << model.index(row, column).data().toString();
            text += columns.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
    }
    if (options.json) {
        CliOutput::json({{"command", "history"}, {"lines", lines}});
    } else if (!text.isEmpty()) {
        CliOutput::out(text);
    }
    return ExitStatus::Done;
}

} // namespace kvx
