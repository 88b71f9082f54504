#pragma once

#include "catalogue/exchange_selection.h"
#include "history/run_history.h"
#include "runs/request_progress.h"
#include "settings/login_settings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvx {

class AttachmentQueue;
class Catalogue;
class MailHandOver;
class OperationsFile;

// What an import or export run reads when it starts. The window fills it from its controls;
// the plan agent from a schedule.
struct ExchangeRunInput {
    QList<SelectedExchangeItem> items;
    QString senderCode; // used trimmed
    // Server address, operator, encrypted password and business date: the window's session
    // login; the plan agent reads them from "\LoginWan.ini".
    LoginSettings login;
    bool conversion = false;
    bool mail = false;
    // The plan agent's runs read the plan condition file instead of the condition file.
    bool planConditions = false;
    // Who runs it, for the run history.
    RunHistory::Origin origin = RunHistory::Origin::Console;
    const Catalogue* catalogue = nullptr;
    // Imports: null or not loaded when the operations file could not be read.
    const OperationsFile* operations = nullptr;
    // Exports with the mail flag: where the saved files are queued and who sends them
    // (null: no mail component connected, nothing is sent).
    AttachmentQueue* attachments = nullptr;
    MailHandOver* mailTransport = nullptr;
};

// What a run shows the operator besides messages, file dialogs and the import report, which
// go through the Prompter of the services.
class RunHost {
public:
    virtual ~RunHost() = default;
    // The progress display appears and the busy indicator starts.
    virtual void runStarted() = 0;
    // One of the run's progress texts while it works on item `item` (from 1) of `count`.
    virtual void showProgress(const QString& text, int item, int count) = 0;
    // Where the current item's request stands: how long it has waited for the server's
    // answer and, for a large document, how much of it has been sent.
    virtual void showWaiting(const RequestProgress& progress) = 0;
    // Asked before each item and while a request waits: a request cancelled while it waits
    // is dropped, and its item ends as not known.
    virtual bool cancelRequested() const = 0;
    // The busy indicator stops and the progress display goes away.
    virtual void runFinished() = 0;
};

// The host of runs that nobody watches and nobody cancels (the plan agent's, benchmarks).
class SilentRunHost : public RunHost {
public:
    void runStarted() override {}
    void showProgress(const QString&, int, int) override {}
    void showWaiting(const RequestProgress&) override {}
    bool cancelRequested() const override { return false; }
    void runFinished() override {}
};

// How a run ended, for callers without a window (and for tests).
struct RunSummary {
    enum class End {
        Refused,   // stopped before the first item (nothing selected, no condition file…)
        Completed, // went past the last item
        Cancelled, // the operator cancelled between items
        Aborted    // an error ended the run
    };
    End end = End::Refused;
    int count = 0;      // items in the selection
    int exchanged = 0;  // items whose server answer was read and kept
    int failed = 0;     // items that ended with a message (one that ended the run included)
    int unanswered = 0; // items sent but not answered: the server may have taken them
    QString report;     // the report as shown (an export's summary included)
    QStringList files;  // exports: the files written, in order
    // Imports: the files of failed records written, in order.
    QStringList failedRecordFiles;
    // The items reached, in list order, as the run history keeps them.
    QList<RunHistory::Item> items;

    // Items skipped (no file chosen) or never reached.
    int notRun() const { return count - exchanged - failed - unanswered; }
    // "成功 1 项，失败 0 项，结果未知 0 项，未执行 1 项，共 2 项"
    QString countsText() const;
    // Records the server refused, over every item.
    int refusedRecords() const;
    // Refused, ended by an error, or an item failed, had records refused or was not answered:
    // what the operator of an unattended run must be told of.
    bool hasProblem() const {
        return end == End::Refused || end == End::Aborted || failed > 0 || unanswered > 0 ||
               refusedRecords() > 0;
    }
};

} // namespace kvx
