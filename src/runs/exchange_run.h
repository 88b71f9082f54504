#pragma once

#include "catalogue/catalogue.h"
#include "history/run_history.h"
#include "platform/background_work.h"
#include "runs/exchange_run_input.h"
#include "runs/request_progress.h"
#include "runs/run_record.h"
#include "runs/run_setup.h"
#include "runs/run_summary.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace kvx {

class HttpRequest;
struct HttpResult;
struct Services;

// An import or export run (ImportRun, ExportRun): an object on its caller's thread that works
// through the selected items in list order without ever waiting in a loop of its own. It sends
// an item's request and returns to the event loop; the answer, the operator's cancel or the
// request's limit lets it go on. Documents of many megabytes are read, checked and written on
// a worker thread meanwhile. Its signals say where it is and how it ended; its messages, file
// dialogs and report go through the services' prompter.
//
// The caller makes the run with what it reads (the input's objects must outlive it), connects
// to its signals and starts it; after finished it may delete it (with deleteLater from a slot).
// One run works at a time in a process: see underway().
class ExchangeRun : public QObject {
    Q_OBJECT
public:
    ~ExchangeRun() override;

    // The run that works in this process now, if any; no other is started beside it.
    static ExchangeRun* underway();

    // Checks what the run needs: a refusal is shown when this returns, and the run finishes
    // once the refusal is in the run history. Otherwise it works on the first item until that
    // waits; the rest follows from the event loop.
    void start();
    // The operator's wish to end the run: it stops before its next item, and a request that
    // waits for its answer is dropped (that item's outcome is not known).
    void cancel();
    // Asks the operator whether to end the run, and cancels it on OK; true when it is
    // cancelled (without a question when it was already, or when it is ending). While the question
    // is open the run stands still: an answer that arrives meanwhile is taken up afterwards.
    bool askToCancel();

    // From start until finished.
    bool isWorking() const { return m_state == State::Working || m_state == State::Ending; }
    bool isCancelled() const { return m_cancelled; }
    const RunSummary& summary() const { return m_summary; }

Q_SIGNALS:
    // The checks passed and the first item is next: a progress display appears.
    void started();
    // One of the run's progress texts while it works on item `item` (from 1) of `count`.
    void progressed(const QString& text, int item, int count);
    // Where the current item's request stands: how long it has waited for the server's answer
    // and, for a large document, how much of it has been sent.
    void waiting(const RequestProgress& progress);
    // An item has ended, as the run history keeps it.
    void itemFinished(const RunHistory::Item& item);
    // No item follows: a progress display goes away. The end's messages and the report follow.
    void stopped();
    // The end, after the report has been shown; a refused run ends so too.
    void finished(const RunSummary& summary);

protected:
    enum class ItemEnd {
        Exchanged,  // the server's answer was read and kept
        Failed,     // the item ended with a message, which has been shown
        Skipped,    // nothing was sent: no file chosen, or cancelled before sending
        Unanswered, // sent, but no answer came: the server may have carried it out
        Aborted     // an error ends the run; m_abortMessage says which
    };
    // What came of an item's request.
    struct Answer {
        XmlDocument document; // null unless the server's answer was read
        ItemEnd end = ItemEnd::Exchanged;
        QString message; // why it is null, as shown to the operator
    };
    using AnswerStep = std::function<void(Answer)>;

    ExchangeRun(Services& services, ExchangeRunInput input, RunHistory::Direction direction,
                QObject* parent);

    // What the run needs before its first item; false once a refusal has been shown.
    virtual bool checkInput() = 0;
    // Works on the item; ends it with endItem(), at once or from a later step.
    virtual void runItem(const SelectedExchangeItem& item, int position) = 0;
    // After the last item, a cancel or an error: the closing lines and the report.
    virtual void concludeRun() = 0;

    void endItem(ItemEnd end);
    // A refusal before the first item: shown, and kept in the run history.
    void refuse(const QString& text);
    // "y" or "n": the item's own conversion flag, else the run's.
    QString conversionFlag(const SelectedExchangeItem& item) const;

    void showProgress(const QString& text, int position);
    // Fixed texts of refusals and failed items: exclamation icon, title "提示". What an
    // item shows is also kept with it in the run history.
    void warn(const QString& text);
    // Answers that are not XML are shown without an icon.
    void tell(const QString& text);
    ItemEnd abort(const QString& message);

    // The catalogue's exchange item of the label; null (and the message shown) when the
    // catalogue has none.
    CatalogueItem findItem(const QString& label);
    // The open and save dialogs of the runs; cancelling gives an empty path.
    QString ChooseImportFile(const QString& label);
    QString ChooseExportFile(const QString& label);

    // The work on a worker thread; `done` takes its result up as the run's next step.
    template <typename Work, typename Done> void inBackground(Work work, Done done) {
        m_work.start(std::move(work), [this, done = std::move(done)](auto result) {
            auto kept = std::make_shared<decltype(result)>(std::move(result));
            resume([done, kept] { done(std::move(*kept)); });
        });
    }
    // Posts the document's bytes within the run's limit, showing the waiting time, and reads
    // the answer; then `then`. A request the operator cancelled before it went out is not
    // sent. A failure, an answer that is not XML and a request sent but not answered are
    // shown (the last not when the operator cancelled it).
    void exchange(QByteArray body, AnswerStep then);
    // Writes the document atomically over any file at the path (a read-only one included); a
    // failure is shown with the path. Then `then`, with whether it was written.
    void saveDocument(std::shared_ptr<const XmlDocument> document, const QString& path,
                      std::function<void(bool)> then);

    Services& m_services;
    const ExchangeRunInput m_input;
    RunSetup m_setup;
    RunSummary m_summary;
    QString m_senderCode;
    QString m_abortMessage;
    // The history's record of the item under way: the runs fill in its file, records and
    // report.
    RunHistory::Item m_item;

private:
    // Ending: no item follows; the report or the run's record is not yet done with.
    enum class State { Ready, Working, Ending, Finished };

    void nextItems();
    void endRun(RunSummary::End end);
    void recordEnd(const QString& outcome, const QString& note);
    void finishWhenDone();
    // A problem of the run history, told while the run stands still.
    void tellProblem(const QString& problem);
    // After a question or message: a step that came meanwhile goes on.
    void release();
    // The next step after something the run waited for; held while the operator is asked.
    void resume(std::function<void()> step);
    void resumeHeld();
    // Runs the step; an error it throws ends the run.
    void guarded(const std::function<void()>& step);
    void fail(const QString& message);
    void takeAnswer(const HttpResult& result, const AnswerStep& then);
    QString noteWhenNoFile(const QString& path);

    RunHistory::Direction m_direction;
    RunRecord m_record;
    State m_state = State::Ready;
    bool m_cancelled = false;
    int m_next = 0;              // the list position of the next item
    bool m_inItem = false;       // an item is under way
    bool m_startingItem = false; // runItem() has not returned yet
    int m_holds = 0;             // questions open
    QString m_refusal;           // why checkInput() refused the run
    bool m_concluded = false;    // the end's messages and report are done with
    bool m_recorded = false;     // the end is in the run history
    std::function<void()> m_heldStep;
    QPointer<HttpRequest> m_request;
    BackgroundWork m_work;
};

} // namespace kvx
