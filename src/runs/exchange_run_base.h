#pragma once

#include "catalogue/catalogue.h"
#include "history/run_history.h"
#include "runs/exchange_run.h"
#include "runs/run_setup.h"

#include <QByteArray>

namespace kvx {

struct Services;

// The part of the import and export runs that is the same for both: the loop over the
// selected items with the cancel test before each one, the progress display, messages,
// catalogue lookups and the request to the exchange server.
class ExchangeRunBase {
public:
    virtual ~ExchangeRunBase() = default;

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
    enum class Direction { Import, Export };

    ExchangeRunBase(Services& services, const ExchangeRunInput& input, RunHost& host,
                    Direction direction);

    // Starts the progress display and works through the items in list order until the
    // last, a cancel or an error; an error is shown before the display goes away.
    void runItems();
    virtual ItemEnd runItem(const SelectedExchangeItem& item, int position) = 0;

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
    QString noteWhenNoFile(const QString& path);
    // Posts the document's bytes within the run's limit, showing the waiting time and
    // dropping the request when the operator cancels, and reads the answer. A failure, an
    // answer that is not XML and a request sent but not answered are shown (the last not
    // when the operator cancelled it).
    Answer exchange(QByteArray body);
    // Writes the document atomically over any file at the path (a read-only one included),
    // while the window stays responsive; a failure is shown with the path.
    bool saveDocument(const XmlDocument& document, const QString& path);

    Services& m_services;
    const ExchangeRunInput& m_input;
    RunHost& m_host;
    RunSetup m_setup;
    RunSummary m_summary;
    QString m_senderCode;
    QString m_abortMessage;
    // The history's record of the item under way: the runs fill in its file, records and
    // report.
    RunHistory::Item m_item;
    // The items reached, in list order, as the history keeps them.
    QList<RunHistory::Item> m_itemsDone;

private:
    void tellHistoryProblem();
    void recordStart();
    void recordItem(ItemEnd end);
    void recordEnd(const QString& outcome, const QString& note);

    Direction m_direction;
    RunHistory m_history;
    bool m_inItem = false;
};

} // namespace kvx
