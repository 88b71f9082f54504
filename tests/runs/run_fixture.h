#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "runs/exchange_run.h"
#include "runs/exchange_run_input.h"
#include "settings/login_settings.h"
#include "test_folder.h"
#include "test_services.h"

#include <QStringList>

namespace kvx::test {

// A sample application folder and a session logged in to the given server as "demo"/"demo",
// with the catalogue and the operations file loaded as the window loads them.
class RunFixture {
public:
    explicit RunFixture(const QString& serverUrl);

    AppFolder app() const { return AppFolder(folder.path()); }
    RecordingPrompter& prompter() { return services.prompter; }

    // Sets an attribute of the item (element name, label, code) in the condition file; a
    // missing item is added.
    void setConditionAttribute(const QString& element, const QString& label, const QString& code,
                               const QString& attribute, const QString& value);
    // 客户档案 (the sender's own condition item) and 部门档案 (a template) name their files
    // under the attribute: importfile copies of the samples in "in", exportfile "out/<name>.xml".
    void nameFiles(const QString& attribute);
    // A copy of sample/data/<name>.xml below the folder; its path.
    QString sampleData(const QString& name) const;
    // Writes the bytes below the folder; the full path.
    QString writeFile(const QString& relative, const QByteArray& bytes) const;

    ExchangeRunInput input(const QList<SelectedExchangeItem>& items,
                           const QString& senderCode = QStringLiteral("001"));

    TestFolder folder;
    TestServices services;
    LoginSettings login;
    Catalogue catalogue;
    OperationsFile operations;
};

// Follows a run: records what it shows, cancels as the operator would when a progress text
// appears or a request waits, and waits for its end.
class RunWatcher {
public:
    // The operator cancels while this progress text is shown, or "waiting": while the
    // request waits for its answer (its third report, some 150 ms after it started).
    void cancelAt(const QString& progressText) { m_cancelAt = progressText; }

    // Starts the run and waits while the event loop turns until it has finished.
    RunSummary run(ExchangeRun& run);

    int started = 0;
    int waitedSeconds = -1; // the longest waiting time shown
    QStringList progress;   // "text (item/count)"

private:
    QString m_cancelAt;
    int m_waitingReports = 0;
};

// An import or export run on the services, started and waited for.
RunSummary runToEnd(Services& services, bool import, const ExchangeRunInput& input,
                    RunWatcher& watcher);

// An import answer as exchange servers give it: one item per record of the posted document
// (key = the record's code), the first record failing when `failFirst`.
QByteArray resultDocumentFor(const QByteArray& postedBody, bool failFirst = false);

} // namespace kvx::test
