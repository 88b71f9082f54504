#include "schedule/frm_schedule.h"

#include "catalogue/catalogue_tree.h"
#include "catalogue/erp_connection.h"
#include "catalogue/exchange_item_list.h"
#include "catalogue/operation_panel.h"
#include "conditions/frm_condition.h"
#include "login/product.h"
#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "schedule/numeric_ctr.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>

namespace kvx {

namespace {

const QString kCaption = QStringLiteral("计划");
const QString kCodeFirst = QStringLiteral("请先选择注册编码!");
// In the order the frequency options are tested when a schedule is written.
constexpr ScheduleFrequency kFrequencies[] = {ScheduleFrequency::Year, ScheduleFrequency::Month,
                                              ScheduleFrequency::Week, ScheduleFrequency::Day};

QString conversionOf(bool checked) {
    return checked ? QStringLiteral("y") : QStringLiteral("n");
}

QList<ScheduledItem> itemsOf(const ExchangeItemList& list,
                             const QHash<QString, QString>& conversions) {
    QList<ScheduledItem> items;
    for (const QString& label : list.selection().labels())
        items.append({label, list.selection().operationString(label), conversions.value(label)});
    return items;
}

} // namespace

FrmSchedule::FrmSchedule(Services& services, bool mayEdit, const QString& loginSenderCode,
                         QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_mayEdit(mayEdit)
    , m_loginSenderCode(loginSenderCode)
    , m_document(services.folder) {
    setObjectName(QStringLiteral("frmSchedule"));
    setWindowTitle(kCaption);
    createControls();
    // Opened, the window gives the keyboard to the code box: a code is chosen first.
    setFocusProxy(m_code);
    resize(648, 463); // the design size, 9720 x 6945 twips
    connectControls();

    // Without the operations file the default operations are offered.
    if (!m_operations.load(services.folder))
        m_services.prompter.message(OperationsFile::missingFileMessage(services.folder),
                                    Product::applicationTitle(), Prompter::Icon::None);
    m_panel->setOperationsFile(&m_operations);
    if (m_tree->initTree(m_catalogue, services.folder, services.prompter,
                         Product::applicationTitle())) {
        if (const std::optional<ErpConnection> erp = ErpConnection::fromEnvironment()) {
            QString error;
            if (!erp->adjustCatalogue(*m_tree, &error))
                warn(error);
        }
    }
    LoadSchedule();
    fillCodes();
    m_begin->setDate(services.clock.today());
    m_end->setDate(services.clock.today());
    if (!m_mayEdit)
        DisableEditing();
    hideOptionControls();
    m_year->setChecked(true);
    onFrequencyChosen(Frequency::Year);
    m_modified = false;
}

FrmSchedule::~FrmSchedule() = default;

void FrmSchedule::connectControls() {
    connect(m_code, &QComboBox::activated, this, &FrmSchedule::onCodeChosen);
    m_code->installEventFilter(this);
    connect(m_code->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { SelectListEntry(m_code->currentText()); });
    for (const Frequency frequency : kFrequencies)
        connect(option(frequency), &QRadioButton::clicked, this,
                [this, frequency] { onFrequencyChosen(frequency); });
    for (NumericCtr* field : {m_monthField, m_dayField, m_weekdayField, m_hourField, m_minuteField})
        connect(field, &NumericCtr::Change, this, &FrmSchedule::setModified);
    connect(m_begin, &QDateEdit::dateChanged, this, &FrmSchedule::setModified);
    connect(m_end, &QDateEdit::dateChanged, this, &FrmSchedule::setModified);

    connect(m_importIn, &QPushButton::clicked, this,
            [this] { moveIn(m_imports, m_importConversions, kCodeFirst); });
    connect(m_exportIn, &QPushButton::clicked, this,
            [this] { moveIn(m_exports, m_exportConversions, SharedText::senderCodeEmpty()); });
    connect(m_importOut, &QPushButton::clicked, m_imports, &ExchangeItemList::MoveOut);
    connect(m_exportOut, &QPushButton::clicked, m_exports, &ExchangeItemList::MoveOut);
    connect(m_imports, &ExchangeItemList::entryRemoved, this, [this](const QString& label) {
        m_importConversions.remove(label);
        hideOptionControls();
        setModified();
    });
    connect(m_exports, &ExchangeItemList::entryRemoved, this, [this](const QString& label) {
        m_exportConversions.remove(label);
        hideOptionControls();
        setModified();
    });
    connect(m_imports, &ExchangeItemList::currentRowChanged, this, &FrmSchedule::onImportSelected);
    connect(m_exports, &ExchangeItemList::currentRowChanged, this, &FrmSchedule::onExportSelected);
    connect(m_importConversion, &QCheckBox::clicked, this,
            [this](bool checked) { onConversionClicked(true, checked); });
    connect(m_exportConversion, &QCheckBox::clicked, this,
            [this](bool checked) { onConversionClicked(false, checked); });
    connect(m_panel, &OperationPanel::operationStringChanged, this,
            &FrmSchedule::onOperationStringChanged);

    connect(m_save, &QPushButton::clicked, this, &FrmSchedule::onSaveClicked);
    connect(m_condition, &QPushButton::clicked, this, &FrmSchedule::onConditionClicked);
    connect(m_ok, &QPushButton::clicked, this, &FrmSchedule::onOkClicked);
}

QString FrmSchedule::code() const {
    return m_code->currentText().trimmed();
}

void FrmSchedule::warn(const QString& text) {
    m_services.prompter.message(text, kCaption, Prompter::Icon::Warning);
}

// The stored codes, in document order; the code typed stays.
void FrmSchedule::fillCodes() {
    const QSignalBlocker blocker(m_code);
    const QString typed = m_code->currentText();
    m_code->clear();
    m_code->addItems(m_document.codes());
    m_code->setCurrentIndex(-1);
    m_code->setEditText(typed);
}

// A code that is not stored yet stays as typed: its schedule is made by saving.
void FrmSchedule::SelectListEntry(const QString& text) {
    if (text.isEmpty()) {
        m_code->setCurrentIndex(-1);
        return;
    }
    const int index = m_code->findText(text, Qt::MatchExactly);
    if (index < 0)
        return;
    m_code->setCurrentIndex(index);
    onCodeChosen(index);
}

// Leaving the code box chooses nothing: Qt's combo box would choose the entry equal to the
// text it holds, throwing away the lists being edited.
bool FrmSchedule::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_code || event->type() != QEvent::FocusOut)
        return QWidget::eventFilter(watched, event);
    const QScopedValueRollback leaving(m_leavingCode, true);
    watched->event(event);
    return true;
}

void FrmSchedule::onCodeChosen(int index) {
    if (index < 0 || m_leavingCode)
        return;
    ResetEditor();
    LoadSchedule();
}

void FrmSchedule::LoadSchedule() {
    QString problem;
    const bool open = m_document.OpenScheduleDocument(ScheduleDocument::Mode::View, &problem);
    if (!problem.isEmpty())
        m_services.prompter.message(problem, Product::applicationTitle(), Prompter::Icon::Warning);
    if (!open)
        return;
    if (const std::optional<Schedule> stored = m_document.readSchedule(code())) {
        showFrequency(stored->frequency());
        m_monthField->setValue(stored->month);
        m_dayField->setValue(stored->day);
        m_weekdayField->setValue(stored->weekday);
        m_hourField->setValue(stored->hour);
        m_minuteField->setValue(stored->minute);
        if (stored->begin.isValid())
            m_begin->setDate(stored->begin);
        if (stored->end.isValid())
            m_end->setDate(stored->end);
        m_imports->clearEntries();
        for (const ScheduledItem& item : stored->imports) {
            if (m_imports->addEntry(item.label, item.operation))
                m_importConversions.insert(item.label, item.conversion);
        }
        m_exports->clearEntries();
        for (const ScheduledItem& item : stored->exports) {
            if (m_exports->addEntry(item.label))
                m_exportConversions.insert(item.label, item.conversion);
        }
    }
    m_modified = false;
}

QRadioButton* FrmSchedule::option(Frequency frequency) const {
    switch (frequency) {
    case Frequency::Year:
        return m_year;
    case Frequency::Month:
        return m_month;
    case Frequency::Week:
        return m_week;
    case Frequency::Day:
        break;
    }
    return m_day;
}

// A type the editor does not know leaves the option that was selected.
void FrmSchedule::showFrequency(const std::optional<Frequency>& frequency) {
    if (!frequency)
        return;
    option(*frequency)->setChecked(true);
    onFrequencyChosen(*frequency);
}

void FrmSchedule::onFrequencyChosen(Frequency frequency) {
    const bool month = frequency == Frequency::Year;
    const bool day = frequency == Frequency::Year || frequency == Frequency::Month;
    const bool weekday = frequency == Frequency::Week;
    const QList<std::tuple<NumericCtr*, QLabel*, bool>> fields = {
        {m_monthField, m_monthLabel, month},
        {m_dayField, m_dayLabel, day},
        {m_weekdayField, m_weekdayLabel, weekday}};
    for (const auto& [field, label, used] : fields) {
        field->setEnabled(used);
        field->setVisible(used);
        label->setVisible(used);
    }
    setModified();
}

void FrmSchedule::ResetEditor() {
    m_exportConversion->setChecked(false);
    m_importConversion->setChecked(false);
    m_imports->clearEntries();
    m_exports->clearEntries();
    hideOptionControls();
    m_importConversions.clear();
    m_exportConversions.clear();
}

void FrmSchedule::ClearAfterSave() {
    m_imports->clearEntries();
    m_exports->clearEntries();
    m_exportConversion->setChecked(false);
    m_importConversion->setChecked(false);
    hideOptionControls();
}

// The operation frame too, and the lists' double click, so that nothing changes an entry.
void FrmSchedule::DisableEditing() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_frequencyFrame, m_periodFrame, m_exportIn, m_exportOut, m_importIn, m_importOut,
             m_exportConversion, m_importConversion, m_save, m_panel})
        control->setEnabled(false);
    m_imports->setReadOnly(true);
    m_exports->setReadOnly(true);
}

void FrmSchedule::hideOptionControls() {
    m_panel->resetToDefaults();
    for (int number = 1; number <= OperationRules::kBoxCount; ++number)
        m_panel->optionBox(number)->hide();
    m_importConversion->hide();
    m_panel->operationLabel()->hide();
    m_panel->operationCombo()->hide();
}

// MoveIn of the tree's item into the list, with an empty conversion entry when it is added.
void FrmSchedule::moveIn(ExchangeItemList* list, QHash<QString, QString>& conversions,
                         const QString& refusal) {
    if (code().isEmpty()) {
        warn(refusal);
        return;
    }
    if (list->MoveIn(*m_tree) == ExchangeItemList::MoveInResult::Added) {
        conversions.insert(list->selection().labels().last(), QString());
        setModified();
    }
}

void FrmSchedule::onImportSelected(int row) {
    if (row < 0)
        return;
    {
        const QSignalBlocker blocker(m_exports);
        m_exports->setCurrentRow(-1);
    }
    onImportOptionShown();
    const QString label = m_imports->selectedLabel();
    const bool modified = m_modified;
    m_panel->showEntry(label);
    m_panel->restoreOperationString(m_imports->selection().operationString(label));
    m_modified = modified; // showing an entry is no change
    m_importConversion->setChecked(m_importConversions.value(label) == QLatin1String("y"));
}

void FrmSchedule::onExportSelected(int row) {
    if (row < 0)
        return;
    {
        const QSignalBlocker blocker(m_imports);
        m_imports->setCurrentRow(-1);
    }
    onExportOptionShown();
    m_exportConversion->setChecked(m_exportConversions.value(m_exports->selectedLabel()) ==
                                   QLatin1String("y"));
}

void FrmSchedule::onImportOptionShown() {
    m_importShown->setChecked(true);
    m_exportConversion->hide();
    m_panel->operationLabel()->show();
    m_panel->operationCombo()->show();
    m_importConversion->show();
}

void FrmSchedule::onExportOptionShown() {
    m_exportShown->setChecked(true);
    hideOptionControls();
    m_exportConversion->show();
}

void FrmSchedule::onConversionClicked(bool isImport, bool checked) {
    ExchangeItemList* list = isImport ? m_imports : m_exports;
    const QString label = list->selectedLabel();
    if (label.isEmpty())
        return;
    (isImport ? m_importConversions : m_exportConversions).insert(label, conversionOf(checked));
    setModified();
}

void FrmSchedule::onOperationStringChanged(const QString& operationString) {
    const QString label = m_imports->selectedLabel();
    if (label.isEmpty() || m_imports->selection().operationString(label) == operationString)
        return;
    m_imports->setOperationString(label, operationString);
    setModified();
}

Schedule FrmSchedule::contentShown() const {
    Schedule content;
    for (const Frequency frequency : kFrequencies) {
        if (content.type.isEmpty() && option(frequency)->isChecked())
            content.type = Schedule::typeOf(frequency);
    }
    content.begin = m_begin->date();
    content.end = m_end->date();
    content.hour = m_hourField->Value();
    content.minute = m_minuteField->Value();
    content.month = m_monthField->Value();
    content.day = m_dayField->Value();
    content.weekday = m_weekdayField->Value();
    content.imports = itemsOf(*m_imports, m_importConversions);
    content.exports = itemsOf(*m_exports, m_exportConversions);
    return content;
}

// SaveSchedule; a file that cannot be written is reported and the window keeps its state.
bool FrmSchedule::saveShown() {
    QString error;
    if (!m_document.SaveSchedule(code(), contentShown(), m_catalogue, &error)) {
        m_services.prompter.message(error, Product::applicationTitle(), Prompter::Icon::Warning);
        return false;
    }
    m_modified = false;
    fillCodes();
    return true;
}

void FrmSchedule::onSaveClicked() {
    if (code().isEmpty()) {
        warn(kCodeFirst);
        return;
    }
    if (saveShown())
        ClearAfterSave();
}

// A new condition editor in plan mode, on the plan condition file, for this code.
void FrmSchedule::onConditionClicked() {
    FrmCondition::openForSchedule(this, m_services, m_loginSenderCode, code());
}

void FrmSchedule::onOkClicked() {
    if (auto* subWindow = qobject_cast<QMdiSubWindow*>(parentWidget()))
        subWindow->close();
    else
        close();
}

void FrmSchedule::closeEvent(QCloseEvent* event) {
    if (!m_modified || !m_mayEdit) {
        event->accept();
        return;
    }
    const Prompter::Answer answer = m_services.prompter.question(
        QStringLiteral("修改尚未保存，是否保存？"), Product::applicationTitle(),
        Prompter::Buttons::YesNo, Prompter::Icon::Question);
    if (answer != Prompter::Answer::Yes) {
        event->accept();
        return;
    }
    if (code().isEmpty()) {
        warn(SharedText::senderCodeEmpty());
        event->ignore();
        return;
    }
    if (saveShown())
        event->accept();
    else
        event->ignore();
}

} // namespace kvx
