#include "exchange/frm_run_history.h"

#include "history/run_history_model.h"
#include "login/login_context.h"
#include "platform/named_widgets.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "platform/work_window.h"
#include "runs/import_run.h"
#include "runs/run_progress_frame.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

namespace kvx {

namespace {

const QString kAll = QStringLiteral("全部");

QComboBox* makeCombo(const QString& name, QWidget* parent) {
    auto* combo = named(new QComboBox(parent), name);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

QDateEdit* makeDate(const QString& name, QWidget* parent) {
    auto* date = named(new QDateEdit(QDate::currentDate(), parent), name);
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return date;
}

// A combo box's entries after "全部", keeping the chosen one when it is still offered.
void refill(QComboBox* combo, const QStringList& texts) {
    const QString chosen = combo->currentText();
    combo->clear();
    combo->addItem(kAll);
    combo->addItems(texts);
    combo->setCurrentIndex(std::max(0, combo->findText(chosen)));
}

QString chosen(const QComboBox* combo) {
    return combo->currentIndex() > 0 ? combo->currentText() : QString();
}

} // namespace

FrmRunHistory::FrmRunHistory(Services& services, const LoginContext& login, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_login(login)
    , m_history(services.folder)
    , m_model(new RunHistoryModel(m_history, this)) {
    setObjectName(QStringLiteral("frmRunHistory"));
    setWindowTitle(QStringLiteral("运行记录"));
    createControls();
    connect(m_model, &RunHistoryModel::counted, this,
            [this](int lines) { m_count->setText(QStringLiteral("共 %1 条").arg(lines)); });
    fillFilterBoxes();
    applyFilter();

    for (QComboBox* combo : {m_item, m_code, m_state})
        connect(combo, &QComboBox::currentIndexChanged, this, &FrmRunHistory::applyFilter);
    for (QDateEdit* date : {m_from, m_to}) {
        connect(date, &QDateEdit::dateChanged, this, [this] {
            if (m_byDate->isChecked())
                applyFilter();
        });
    }
    connect(m_onlyRuns, &QCheckBox::toggled, this, [this](bool on) {
        m_onlyRuns->setVisible(on);
        applyFilter();
    });
    connect(m_byDate, &QCheckBox::toggled, this, [this](bool on) {
        m_from->setEnabled(on);
        m_to->setEnabled(on);
        applyFilter();
    });
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        fillFilterBoxes();
        applyFilter();
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FrmRunHistory::onSelectionChanged);
    connect(m_grid, &QTableView::activated, this, &FrmRunHistory::onReportClicked);
    connect(m_report, &QPushButton::clicked, this, &FrmRunHistory::onReportClicked);
    connect(m_reimport, &QPushButton::clicked, this, &FrmRunHistory::onReimportClicked);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->askToCancel();
    });
    connect(m_close, &QPushButton::clicked, this, &FrmRunHistory::closeWindow);

    // A history that cannot be read is said once; the window then lists nothing.
    const QString problem = m_history.takeProblem();
    if (!problem.isEmpty())
        m_services.prompter.message(problem, SharedText::promptTitle(), Prompter::Icon::Warning);
}

FrmRunHistory::~FrmRunHistory() = default;

ExchangeRun* FrmRunHistory::run() const {
    return m_run;
}

void FrmRunHistory::createControls() {
    m_item = makeCombo(QStringLiteral("cmbItem"), this);
    m_code = makeCombo(QStringLiteral("cmbCode"), this);
    m_state = makeCombo(QStringLiteral("cmbState"), this);
    m_state->addItem(kAll);
    for (const QString& state : RunHistoryRow::filterStates())
        m_state->addItem(RunHistoryRow::stateText(state), state);
    m_byDate = named(new QCheckBox(QStringLiteral("开始日期"), this), QStringLiteral("chkDate"));
    m_onlyRuns = named(new QCheckBox(this), QStringLiteral("chkRuns"));
    m_onlyRuns->hide();
    m_from = makeDate(QStringLiteral("dtpFrom"), this);
    m_to = makeDate(QStringLiteral("dtpTo"), this);
    m_from->setDate(QDate::currentDate().addDays(-7));
    m_from->setEnabled(false);
    m_to->setEnabled(false);
    m_refresh = makeButton(QStringLiteral("刷新(&F)"), QStringLiteral("cmdRefresh"), this);

    auto* filters = new QHBoxLayout;
    filters->addWidget(makeLabel(QStringLiteral("项目"), QStringLiteral("lblItem"), this));
    filters->addWidget(m_item);
    filters->addWidget(makeLabel(QStringLiteral("注册编码"), QStringLiteral("lblCode"), this));
    filters->addWidget(m_code);
    filters->addWidget(makeLabel(QStringLiteral("结果"), QStringLiteral("lblState"), this));
    filters->addWidget(m_state);
    filters->addWidget(m_byDate);
    filters->addWidget(m_from);
    filters->addWidget(makeLabel(QStringLiteral("至"), QStringLiteral("lblTo"), this));
    filters->addWidget(m_to);
    filters->addStretch();
    filters->addWidget(m_refresh);

    m_grid = named(new QTableView(this), QStringLiteral("grdRuns"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    const int widths[RunHistoryModel::kColumnCount] = {140, 70, 70, 70, 110, 50, 70, 70, 90};
    for (int column = 0; column < RunHistoryModel::kColumnCount; ++column)
        m_grid->setColumnWidth(column, widths[column]);

    m_count = makeLabel({}, QStringLiteral("lblCount"), this);
    m_waiting = new RunProgressFrame(this);
    m_report = makeButton(QStringLiteral("查看报告(&V)"), QStringLiteral("cmdReport"), this);
    m_reimport =
        makeButton(QStringLiteral("导入失败记录(&I)"), QStringLiteral("cmdReimport"), this);
    m_cancel = makeButton(QStringLiteral("取消"), QStringLiteral("cmdCancel"), this);
    m_close = makeButton(QStringLiteral("关闭(&X)"), QStringLiteral("cmdClose"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_onlyRuns);
    buttons->addWidget(m_count, 1);
    for (QPushButton* button : {m_report, m_reimport, m_cancel, m_close})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_waiting);
    layout->addLayout(buttons);
    setFocusProxy(m_grid);
    setRunning(false);
}

void FrmRunHistory::fillFilterBoxes() {
    const QSignalBlocker itemBlocker(m_item);
    const QSignalBlocker codeBlocker(m_code);
    refill(m_item, m_model->itemLabels());
    refill(m_code, m_model->senderCodes());
}

void FrmRunHistory::applyFilter() {
    RunHistoryFilter filter;
    filter.item = chosen(m_item);
    filter.senderCode = chosen(m_code);
    filter.state = m_state->currentData().toString();
    if (m_byDate->isChecked()) {
        filter.from = m_from->date();
        filter.to = m_to->date();
    }
    if (m_onlyRuns->isChecked())
        filter.runIds = m_runIds;
    m_count->setText(QStringLiteral("正在统计……"));
    m_model->setFilter(filter);
    if (m_model->rowCount() > 0)
        m_grid->selectRow(0);
    onSelectionChanged();
}

void FrmRunHistory::showRuns(const QList<qint64>& runIds) {
    m_runIds = runIds;
    m_onlyRuns->setText(QStringLiteral("仅计划代理的这 %1 次运行").arg(runIds.size()));
    const QSignalBlocker blocker(m_onlyRuns);
    m_onlyRuns->setChecked(true);
    m_onlyRuns->show();
    applyFilter();
    m_grid->setFocus();
}

const RunHistoryRow* FrmRunHistory::selectedLine() const {
    const QModelIndex current = m_grid->selectionModel()->currentIndex();
    return current.isValid() ? &m_model->line(current.row()) : nullptr;
}

void FrmRunHistory::onSelectionChanged() {
    const RunHistoryRow* line = selectedLine();
    m_report->setEnabled(!m_run && line);
    m_reimport->setEnabled(!m_run && line && !line->failedRecordsFile.isEmpty());
}

void FrmRunHistory::onReportClicked() {
    if (const RunHistoryRow* line = selectedLine())
        m_services.prompter.displayText(m_model->runReport(line->runId));
}

// The mended file goes through the ordinary import run, as the item was sent the first time:
// the same operation, conversion flag and registration code.
void FrmRunHistory::onReimportClicked() {
    const RunHistoryRow* line = selectedLine();
    if (!line || line->failedRecordsFile.isEmpty() || m_run)
        return;
    if (ExchangeRun::underway()) {
        m_services.prompter.message(SharedText::otherRunUnderway(), SharedText::promptTitle(),
                                    Prompter::Icon::Information);
        return;
    }
    const RunHistoryRow row = *line;
    if (!QFileInfo(row.failedRecordsFile).isFile()) {
        m_services.prompter.message(SharedText::fileMissing(row.failedRecordsFile),
                                    SharedText::promptTitle(), Prompter::Icon::Warning);
        return;
    }
    const Prompter::Answer answer = m_services.prompter.question(
        QStringLiteral("导入失败记录文件%1？\n项目：%2，注册编码：%3，操作：%4")
            .arg(AppFolder::toNative(row.failedRecordsFile), row.item, row.senderCode,
                 row.operation.isEmpty() ? QStringLiteral("默认") : row.operation),
        SharedText::promptTitle(), Prompter::Buttons::YesNo, Prompter::Icon::Question);
    if (answer != Prompter::Answer::Yes)
        return;
    m_catalogue.load(m_services.folder);
    m_operations.load(m_services.folder);
    ExchangeRunInput input;
    input.items = {{row.item, row.operation, row.conversion, row.failedRecordsFile}};
    input.senderCode = row.senderCode;
    input.login = m_login.persistent;
    input.catalogue = &m_catalogue;
    input.operations = &m_operations;
    m_run = new ImportRun(m_services, std::move(input), this);
    m_waiting->follow(*m_run);
    connect(m_run, &ExchangeRun::finished, this, &FrmRunHistory::onReimportFinished);
    setRunning(true);
    m_run->start();
}

void FrmRunHistory::onReimportFinished() {
    m_run->deleteLater();
    m_run = nullptr;
    setRunning(false);
    fillFilterBoxes();
    applyFilter();
}

// The run needs its window until it has finished: the operator is asked whether to end it,
// and the window closes once it has.
void FrmRunHistory::closeEvent(QCloseEvent* event) {
    if (m_run && m_run->askToCancel())
        connect(m_run, &ExchangeRun::finished, this, &FrmRunHistory::closeWindow,
                Qt::UniqueConnection);
    event->setAccepted(!m_run);
}

void FrmRunHistory::closeWindow() {
    closeWorkWindow(this);
}

void FrmRunHistory::setRunning(bool running) {
    for (QWidget* control : std::initializer_list<QWidget*>{m_item, m_code, m_state, m_byDate,
                                                            m_onlyRuns, m_refresh, m_grid, m_close})
        control->setEnabled(!running);
    m_from->setEnabled(!running && m_byDate->isChecked());
    m_to->setEnabled(!running && m_byDate->isChecked());
    m_cancel->setVisible(running);
    m_close->setVisible(!running);
    onSelectionChanged();
    // The button pressed may be disabled now: the keyboard goes on in the list.
    if (!running)
        m_grid->setFocus();
}

} // namespace kvx
