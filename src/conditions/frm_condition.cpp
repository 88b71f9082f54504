#include "conditions/frm_condition.h"

#include "catalogue/catalogue_tree.h"
#include "conditions/condition_grid.h"
#include "conditions/condition_vocabulary.h"
#include "conditions/typing_filter.h"
#include "conditions/voucher_project_rules.h"
#include "login/product.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace kvx {

namespace {

const QString kCaption = QStringLiteral("导入导出设置");

QMdiArea* mdiAreaOf(QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        if (auto* subWindow = qobject_cast<QMdiSubWindow*>(widget))
            return subWindow->mdiArea();
    }
    return nullptr;
}

} // namespace

FrmCondition::FrmCondition(Services& services, const QString& loginSenderCode, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_session(services.folder) {
    setObjectName(QStringLiteral("frmCondition"));
    setWindowTitle(kCaption);
    createControls();
    setFocusProxy(m_tree);
    m_grid->checkFocusWithin(this, m_delLine);
    TypingFilter::install(m_code, cmbCode_KeyPress);

    // An item is chosen when it becomes current and when it is clicked again.
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &FrmCondition::onItemChosen);
    connect(m_tree, &CatalogueTree::currentNodeClicked, this, &FrmCondition::onItemChosen);
    // A code is taken when it is chosen from the list, on Enter and when the box is left.
    connect(m_code, &QComboBox::activated, this, &FrmCondition::onCodeEntered);
    connect(m_code->lineEdit(), &QLineEdit::editingFinished, this, &FrmCondition::onCodeEntered);
    connect(m_grid, &ConditionGrid::modified, this, [this] { m_session.setGridModified(true); });
    for (QLineEdit* box : {m_import, m_export}) {
        connect(box, &QLineEdit::textEdited, this, [this] { m_session.setGridModified(true); });
    }
    connect(m_addLine, &QPushButton::clicked, this, &FrmCondition::onAddLineClicked);
    connect(m_delLine, &QPushButton::clicked, this, &FrmCondition::onDelLineClicked);
    connect(m_fileIn, &QPushButton::clicked, this, [this] { onBrowseClicked(m_import, true); });
    connect(m_fileOut, &QPushButton::clicked, this, [this] { onBrowseClicked(m_export, false); });
    connect(m_save, &QPushButton::clicked, this, &FrmCondition::onSaveClicked);
    connect(m_saveSche, &QPushButton::clicked, this, &FrmCondition::onSaveClicked);
    connect(m_cancel, &QPushButton::clicked, this, &FrmCondition::closeWindow);

    InitTree();
    setEditing(false, false);
    m_saveSche->hide();
    m_code->clear();
    m_code->addItem(loginSenderCode);
    m_code->setCurrentText(loginSenderCode);
}

FrmCondition::~FrmCondition() {
    // The box loses the focus as the window goes, when the members are gone already.
    m_code->lineEdit()->disconnect(this);
}

FrmCondition* FrmCondition::openNew(QWidget* opener, Services& services,
                                    const QString& loginSenderCode, bool planMode,
                                    const QString& senderCode) {
    auto* editor = new FrmCondition(services, loginSenderCode);
    editor->Sche(planMode);
    if (planMode)
        editor->setWindowTitle(editor->windowTitle() + QStringLiteral("(计划)"));
    if (QMdiArea* area = mdiAreaOf(opener)) {
        QMdiSubWindow* subWindow = area->addSubWindow(editor);
        subWindow->setAttribute(Qt::WA_DeleteOnClose);
        subWindow->show();
        area->setActiveSubWindow(subWindow);
    } else {
        editor->setAttribute(Qt::WA_DeleteOnClose);
        editor->show();
        editor->activateWindow();
    }
    if (!senderCode.isEmpty())
        editor->fixSenderCode(senderCode);
    return editor;
}

FrmCondition* FrmCondition::openForSchedule(QWidget* opener, Services& services,
                                            const QString& loginSenderCode,
                                            const QString& scheduleCode) {
    if (scheduleCode.trimmed().isEmpty()) {
        services.prompter.message(SharedText::senderCodeToChoose(), SharedText::promptTitle(),
                                  Prompter::Icon::Warning);
        return nullptr;
    }
    FrmCondition* editor = openNew(opener, services, loginSenderCode, true, scheduleCode);
    editor->raise();
    return editor;
}

void FrmCondition::InitTree() {
    if (!m_catalogue.load(m_services.folder)) {
        m_services.prompter.message(Catalogue::missingFileMessage(m_services.folder),
                                    Product::applicationTitle(), Prompter::Icon::None);
        return;
    }
    m_tree->fill(m_catalogue);
}

void FrmCondition::Sche(bool vNewValue) {
    m_session.setPlanMode(vNewValue);
    m_save->setVisible(!vNewValue);
    m_saveSche->setVisible(vNewValue);
    m_modeSet = true;
}

void FrmCondition::fixSenderCode(const QString& code) {
    m_code->clear();
    m_code->setCurrentText(code);
    m_code->setEnabled(false);
}

QString FrmCondition::senderCode() const {
    return m_code->currentText().trimmed();
}

void FrmCondition::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (QMdiArea* area = mdiAreaOf(this))
        connect(area, &QMdiArea::subWindowActivated, this, &FrmCondition::onSubWindowActivated,
                Qt::UniqueConnection);
}

void FrmCondition::onSubWindowActivated(QMdiSubWindow* window) {
    if (window && window->widget() == this)
        m_tree->setFocus();
}

// The grid with its add and delete buttons, and the two paths with their browse buttons.
void FrmCondition::setEditing(bool grid, bool paths) {
    m_grid->setEnabled(grid);
    m_addLine->setEnabled(grid);
    m_addLine->setVisible(grid);
    m_delLine->setEnabled(grid);
    m_delLine->setVisible(grid);
    for (QWidget* control : {static_cast<QWidget*>(m_import), static_cast<QWidget*>(m_export),
                             static_cast<QWidget*>(m_fileIn), static_cast<QWidget*>(m_fileOut)})
        control->setEnabled(paths);
}

void FrmCondition::clearGrid() {
    m_grid->clearRows();
    m_import->clear();
    m_export->clear();
    m_session.setGridModified(false);
}

void FrmCondition::readItem(const QString& code) {
    std::optional<ConditionSession::ItemGrid> content;
    QString error;
    if (!m_session.read(code, &content, &error)) {
        m_services.prompter.message(error, Product::applicationTitle(), Prompter::Icon::Warning);
        return;
    }
    if (content) {
        m_import->setText(content->importFile);
        m_export->setText(content->exportFile);
        m_grid->setRows(content->rows);
    }
    m_session.setGridModified(false);
}

// The grid goes into the document under the code it was read for, whatever the box shows by
// now: one code's conditions never land on another's.
bool FrmCondition::storeGrid() {
    if (!m_session.hasItem() || !m_session.isGridModified() || m_gridCode.isEmpty())
        return true;
    QString error;
    if (m_session.store(m_gridCode, m_import->text(), m_export->text(), m_grid->rows(), &error))
        return true;
    m_services.prompter.message(error, Product::applicationTitle(), Prompter::Icon::Warning);
    return false;
}

void FrmCondition::onItemChosen() {
    m_grid->endCellEdit();
    storeGrid();
    clearGrid();
    m_grid->setFields({});
    setEditing(false, false);
    m_session.clearItem();
    m_grid->setVoucherRules(false);

    const XmlElement element = CatalogueTree::elementOf(m_tree->currentItem());
    if (element.isNull() || Catalogue::isGroup(element))
        return;
    m_session.chooseItem(element.attribute(QStringLiteral("name")), element.name());
    m_grid->setVoucherRules(VoucherProjectRules::appliesTo(m_session.interfaceName()));
    m_grid->setFields(m_session.fields());
    showItem();
}

// The current item for the code in the box: what the item lets the operator edit, and its
// content for the code. Without a code there is nothing to edit: the item's template (code
// "") belongs to no external system.
void FrmCondition::showItem() {
    m_gridCode = senderCode();
    if (m_gridCode.isEmpty()) {
        setEditing(false, false);
        m_services.prompter.message(SharedText::senderCodeRequired(), SharedText::promptTitle(),
                                    Prompter::Icon::Warning);
        return;
    }
    if (m_session.structure().isLoaded())
        setEditing(m_modeSet && !m_session.fields().isEmpty(), m_modeSet);
    else
        setEditing(false, m_modeSet);
    readItem(m_gridCode);
}

// Another code in the box: the grid's changes go into the document under the code it was
// read for, then the grid shows the item for the new code. A window on its way out (the box
// loses the focus as it hides) takes no code.
void FrmCondition::onCodeEntered() {
    if (!isVisible() || !m_session.hasItem() || senderCode() == m_gridCode)
        return;
    m_grid->endCellEdit();
    storeGrid();
    clearGrid();
    showItem();
}

bool FrmCondition::refuseWithoutCode() {
    if (!senderCode().isEmpty())
        return false;
    m_services.prompter.message(SharedText::senderCodeEmpty(), windowTitle(),
                                Prompter::Icon::Warning);
    return true;
}

void FrmCondition::onAddLineClicked() {
    if (refuseWithoutCode())
        return;
    m_grid->endCellEdit();
    if (m_grid->ValidInput())
        m_grid->appendRowAndEdit();
}

void FrmCondition::onDelLineClicked() {
    m_grid->removeCurrentRow();
}

void FrmCondition::onBrowseClicked(QLineEdit* box, bool import) {
    if (refuseWithoutCode())
        return;
    const QString start = box->text().trimmed().isEmpty() ? m_services.folder.root() : box->text();
    const QString label = m_tree->selectedLabel();
    const QString title =
        import ? SharedText::importFileTitle(label) : SharedText::exportFileTitle(label);
    const QString chosen =
        import ? m_services.prompter.openFile(title, SharedText::xmlFileFilter(), start)
               : m_services.prompter.saveFile(title, SharedText::xmlFileFilter(), start);
    if (!chosen.isEmpty())
        box->setText(QDir::toNativeSeparators(chosen));
    m_session.setGridModified(true);
}

void FrmCondition::onSaveClicked() {
    if (!refuseWithoutCode())
        save();
}

// Stores the grid, writes the file and shows the item again as it now stands, so that the
// grid always shows what the next save stores.
bool FrmCondition::save() {
    m_grid->endCellEdit();
    if (!storeGrid())
        return false;
    QString error;
    if (!m_session.write(&error)) {
        m_services.prompter.message(error, windowTitle(), Prompter::Icon::Warning);
        return false;
    }
    if (m_session.hasItem()) {
        clearGrid();
        showItem();
    }
    return true;
}

void FrmCondition::closeEvent(QCloseEvent* event) {
    m_grid->endCellEdit();
    if (!m_session.isGridModified() && !m_session.isDocumentChanged()) {
        event->accept();
        return;
    }
    const Prompter::Answer answer = m_services.prompter.question(
        QStringLiteral("配置已修改是否保存？"), Product::applicationTitle(),
        Prompter::Buttons::YesNo, Prompter::Icon::None);
    if (answer == Prompter::Answer::Yes && (refuseWithoutCode() || !save())) {
        event->ignore();
        return;
    }
    event->accept();
}

void FrmCondition::closeWindow() {
    if (auto* subWindow = qobject_cast<QMdiSubWindow*>(parentWidget()))
        subWindow->close();
    else
        close();
}

} // namespace kvx
