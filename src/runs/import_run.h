#pragma once

#include "documents/import_document.h"
#include "runs/exchange_run.h"

#include <memory>

namespace kvx {

struct Services;

// Imports an interface document file for every selected item, in list order: the item's
// default import file or one the operator chooses, checked against the item, completed with
// the chosen operation, options and credentials, posted to the exchange server; the server's
// per-record results make up the report shown at the end. A failed item shows its message
// and the run goes on. When the operator cancels or an error ends the run, the report of
// the items already imported is still shown, with a line saying where the run stopped.
class ImportRun : public ExchangeRun {
    Q_OBJECT
public:
    ImportRun(Services& services, ExchangeRunInput input, QObject* parent = nullptr);

private:
    // The item under way.
    struct Current {
        SelectedExchangeItem selected;
        int position = 0;
        CatalogueItem item;
        QString path;
        std::shared_ptr<ImportDocument> document;
    };
    // What the worker made of the server's result.
    struct Reported;

    bool checkInput() override;
    void runItem(const SelectedExchangeItem& item, int position) override;
    void concludeRun() override;

    void completeDocument(bool loaded, const QString& error);
    void send();
    void takeResult(Answer answer);
    // The item's report block with its last line on the failed records, written meanwhile;
    // the history's counts of records taken and refused.
    void report(std::shared_ptr<const XmlDocument> result, Reported reported);
    // The item's entry in the operations file as the directives need it. False, with
    // *error, when the operations file cannot say what the operation string asks for.
    bool findOperationsEntry(const SelectedExchangeItem& item, OperationsEntry* entry,
                             QString* error) const;

    Current m_current;
};

} // namespace kvx
