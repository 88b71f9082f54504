#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "history/run_history.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace kvx {

class ExchangeRun;
class RunHistoryModel;
class RunProgressFrame;
struct LoginContext;
struct RunHistoryRow;
struct Services;

// The run history window `frmRunHistory` ("运行记录"): the import and export runs of the
// console and the plan agent, newest first, one line per item, filtered by item, registration
// code, outcome and the days the runs started. The selected run's report opens in the report
// window; the refused records of a selected import, once mended in their failed-records file,
// are imported again through the ordinary import run, which shows its progress here.
// Opened from the status bar's notice of the plan agent's failed runs, it lists those runs.
class FrmRunHistory : public QWidget {
    Q_OBJECT
public:
    FrmRunHistory(Services& services, const LoginContext& login, QWidget* parent = nullptr);
    ~FrmRunHistory() override;

    RunHistoryModel& model() { return *m_model; }
    // Lists only these runs (the plan agent's runs the operator is told of), until the box
    // that says so is unticked.
    void showRuns(const QList<qint64>& runIds);
    // The import of mended records under way, until it has finished; null otherwise.
    ExchangeRun* run() const;
    // Wide enough for every column of a line.
    QSize sizeHint() const override { return {900, 460}; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void fillFilterBoxes();
    void applyFilter();
    void onSelectionChanged();
    void onReportClicked();
    void onReimportClicked();
    void onReimportFinished();
    const RunHistoryRow* selectedLine() const;
    void setRunning(bool running);
    void closeWindow();

    Services& m_services;
    const LoginContext& m_login;
    RunHistory m_history;
    RunHistoryModel* m_model;
    // What the import of mended records reads, loaded afresh for each.
    Catalogue m_catalogue;
    OperationsFile m_operations;
    QPointer<ExchangeRun> m_run;

    QComboBox* m_item = nullptr;
    QComboBox* m_code = nullptr;
    QComboBox* m_state = nullptr;
    QCheckBox* m_byDate = nullptr;
    QCheckBox* m_onlyRuns = nullptr;
    QList<qint64> m_runIds;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QPushButton* m_refresh = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_count = nullptr;
    RunProgressFrame* m_waiting = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_reimport = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kvx
