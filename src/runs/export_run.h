#pragma once

#include "runs/exchange_run.h"

namespace kvx {

struct Services;

// Exports every selected item, in list order: a query envelope with the item's conditions
// (of the sender code, else the item's template; TODAY as the run's date) goes to the
// exchange server and the data document it answers is saved, atomically, to the item's
// default export file or one the operator chooses. With the mail flag each saved file is
// queued, and after the last item the mail transport is asked to send the queue. A failed
// item shows its message and the run goes on. At the end a summary says what became of each
// item.
class ExportRun : public ExchangeRun {
    Q_OBJECT
public:
    ExportRun(Services& services, ExchangeRunInput input, QObject* parent = nullptr);

private:
    // The item under way.
    struct Current {
        QString label;
        int position = 0;
        CatalogueItem item;
        QString path;
    };

    bool checkInput() override;
    void runItem(const SelectedExchangeItem& item, int position) override;
    void concludeRun() override;

    void takeData(Answer answer);
    XmlDocument queryEnvelope(const CatalogueItem& item, const XmlElement& conditionItem,
                              const SelectedExchangeItem& selected) const;
    void handOverToMail();
    // What the run did for each item: the file written with its records, or why there is
    // none; then the counts.
    QString summaryText() const;

    QString m_today;
    Current m_current;
};

} // namespace kvx
