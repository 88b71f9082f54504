#include "exchange/frm_import.h"

#include "catalogue/catalogue_tree.h"
#include "catalogue/exchange_item_list.h"
#include "catalogue/operation_panel.h"
#include "exchange/import_file_checker.h"
#include "login/login_context.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "platform/work_window.h"
#include "runs/attachment_queue.h"
#include "runs/export_run.h"
#include "runs/import_run.h"
#include "runs/run_progress_frame.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace kvx {

namespace {

const QString kCatalogueRoot = QStringLiteral("KVX管理系统");

} // namespace

FrmImport::FrmImport(Services& services, const LoginContext& login, AttachmentQueue& attachments,
                     QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_login(login)
    , m_attachments(attachments) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("导入导出"));
    createControls();
    setFocusProxy(m_moveIn);
    resize(661, 384); // the design size, 9915 x 5760 twips

    connect(m_moveIn, &QPushButton::clicked, this, &FrmImport::onMoveInClicked);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &FrmImport::onTreeDoubleClicked);
    connect(m_moveOut, &QPushButton::clicked, m_list, &ExchangeItemList::MoveOut);
    connect(m_list, &ExchangeItemList::entryRemoved, this, &FrmImport::resetOptionControls);
    connect(m_list, &QListWidget::currentRowChanged, this, &FrmImport::onListRowChanged);
    connect(m_importMode, &QRadioButton::toggled, this, &FrmImport::onImportModeChosen);
    connect(m_exportMode, &QRadioButton::toggled, this, &FrmImport::onExportModeChosen);
    connect(m_panel, &OperationPanel::operationStringChanged, this,
            &FrmImport::onOperationStringChanged);
    connect(m_execute, &QPushButton::clicked, this, &FrmImport::onExecuteClicked);
    connect(m_cancel, &QPushButton::clicked, this, &FrmImport::onCancelClicked);
    connect(m_setting, &QPushButton::clicked, this, &FrmImport::onSettingClicked);
    connect(m_quit, &QPushButton::clicked, this, &FrmImport::onQuitClicked);

    m_checker =
        new ImportFileChecker(services, m_catalogue, m_operations, *m_list, *m_importMode, *m_code);
    m_tree->initTree(m_catalogue, services.folder, services.prompter);
    m_code->addItem(login.senderCode);
    m_code->setCurrentText(login.senderCode);
    m_panel->setOperationsFile(&m_operations);
    // The operations file is read on the first switch to import mode.
    m_exportMode->setChecked(true);
    setRunning(false);
}

FrmImport::~FrmImport() = default;

ExchangeRun* FrmImport::run() const {
    return m_run;
}

bool FrmImport::isImportMode() const {
    return m_importMode->isChecked();
}

void FrmImport::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_moveIn->setFocus();
}

// The run needs its window until it has finished: the operator is asked whether to end it,
// and the window closes once it has.
void FrmImport::closeEvent(QCloseEvent* event) {
    if (m_run && m_run->askToCancel())
        connect(m_run, &ExchangeRun::finished, this, &FrmImport::closeWindow, Qt::UniqueConnection);
    event->setAccepted(!m_run);
}

const ExchangeSelection& FrmImport::selection() const {
    return m_list->selection();
}

void FrmImport::onMoveInClicked() {
    m_list->MoveIn(*m_tree);
}

void FrmImport::onTreeDoubleClicked(QTreeWidgetItem* node) {
    if (!node || CatalogueTree::keyOf(node) == kCatalogueRoot)
        return;
    m_tree->setCurrentItem(node);
    m_list->MoveIn(*m_tree, false);
}

void FrmImport::onListRowChanged(int row) {
    if (row >= 0 && isImportMode())
        showSelectedEntry();
}

void FrmImport::showSelectedEntry() {
    const QString label = m_list->selectedLabel();
    m_panel->showEntry(label);
    m_panel->operationLabel()->show();
    m_panel->operationCombo()->show();
    m_panel->restoreOperationString(m_list->selection().operationString(label));
}

void FrmImport::resetOptionControls() {
    m_panel->resetToDefaults();
}

void FrmImport::onImportModeChosen(bool checked) {
    if (!checked)
        return;
    // Without the file the default operations are offered; a later switch tries again.
    if (!m_operations.isLoaded() && !m_operations.load(m_services.folder))
        m_services.prompter.message(OperationsFile::missingFileMessage(m_services.folder),
                                    SharedText::promptTitle(), Prompter::Icon::Warning);
    if (m_list->currentRow() >= 0)
        showSelectedEntry();
    m_panel->operationLabel()->show();
    m_panel->operationCombo()->show();
    m_mail->hide();
}

void FrmImport::onExportModeChosen(bool checked) {
    if (!checked)
        return;
    resetOptionControls();
    m_mail->show();
    m_panel->operationCombo()->hide();
    m_panel->operationLabel()->hide();
}

void FrmImport::onOperationStringChanged(const QString& operationString) {
    m_list->setOperationString(m_list->selectedLabel(), operationString);
}

void FrmImport::onExecuteClicked() {
    if (m_code->currentText().isEmpty()) {
        m_services.prompter.message(SharedText::senderCodeRequired(), SharedText::promptTitle(),
                                    Prompter::Icon::Warning);
        return;
    }
    if (ExchangeRun::underway()) {
        m_services.prompter.message(SharedText::otherRunUnderway(), SharedText::promptTitle(),
                                    Prompter::Icon::Information);
        return;
    }
    ExchangeRunInput input;
    input.items = m_list->selection().items();
    input.senderCode = m_code->currentText().trimmed();
    input.conversion = m_transfer->isChecked();
    input.mail = m_mail->isChecked();
    input.catalogue = &m_catalogue;
    input.operations = &m_operations;
    input.login = m_login.persistent;
    input.attachments = &m_attachments;
    input.mailTransport = m_mailTransport;

    if (isImportMode())
        m_run = new ImportRun(m_services, std::move(input), this);
    else
        m_run = new ExportRun(m_services, std::move(input), this);
    m_waiting->follow(*m_run);
    connect(m_run, &ExchangeRun::finished, this, &FrmImport::onRunFinished);
    setRunning(true);
    m_run->start();
}

void FrmImport::onRunFinished() {
    m_run->deleteLater();
    m_run = nullptr;
    setRunning(false);
}

void FrmImport::setRunning(bool running) {
    m_selector->setEnabled(!running);
    m_panel->setEnabled(!running);
    m_transfer->setEnabled(!running);
    m_mail->setEnabled(!running);
    m_execute->setEnabled(!running);
    m_setting->setEnabled(!running);
    m_quit->setEnabled(!running);
    m_quit->setVisible(!running);
    m_cancel->setVisible(running);
    m_cancel->setEnabled(running);
    m_checker->setRunning(running);
}

void FrmImport::onCancelClicked() {
    if (m_run)
        m_run->askToCancel();
}

void FrmImport::onSettingClicked() {
    const QString code = m_code->currentText().trimmed();
    if (m_openConditionEditor)
        m_openConditionEditor(code);
    if (code.isEmpty())
        m_services.prompter.message(SharedText::senderCodeRequired(), SharedText::promptTitle(),
                                    Prompter::Icon::Warning);
}

void FrmImport::onQuitClicked() {
    closeWindow();
}

void FrmImport::closeWindow() {
    closeWorkWindow(this);
}

} // namespace kvx
