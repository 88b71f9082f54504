#include "conditions/condition_grid.h"

#include "conditions/condition_vocabulary.h"
#include "conditions/typing_filter.h"
#include "conditions/voucher_project_rules.h"
#include "platform/named_widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>

namespace kvx {

namespace {

// Twips as the grid's widths are given, at 15 twips a pixel.
constexpr int pixels(int twips) {
    return twips / 15;
}

} // namespace

ConditionGrid::ConditionGrid(Prompter& prompter, const QString& messageTitle, QWidget* parent)
    : QTableWidget(parent)
    , m_prompter(prompter)
    , m_title(messageTitle)
    , m_fields(named(new QComboBox(viewport()), QStringLiteral("cmbFields")))
    , m_types(named(new QComboBox(this), QStringLiteral("cmbType")))
    , m_operators(named(new QComboBox(viewport()), QStringLiteral("cmbOperate")))
    , m_value(named(new QLineEdit(viewport()), QStringLiteral("txtValue")))
    , m_connectives(named(new QComboBox(viewport()), QStringLiteral("cmbLink"))) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_operators->addItems(initialOperators());
    m_connectives->addItems(connectiveLabels());
    TypingFilter::install(m_value, txtValue_KeyPress);
    for (QWidget* editor : {static_cast<QWidget*>(m_fields), static_cast<QWidget*>(m_operators),
                            static_cast<QWidget*>(m_value), static_cast<QWidget*>(m_connectives)}) {
        editor->hide();
        editor->installEventFilter(this);
    }
    m_types->hide();
    // Rows as high as the editors that cover their cells.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(
        qMax(m_fields->sizeHint().height(), m_value->sizeHint().height()));

    connect(m_fields, &QComboBox::activated, this, &ConditionGrid::onFieldChosen);
    connect(this, &QTableWidget::currentCellChanged, this, &ConditionGrid::onCurrentCellChanged);
    connect(this, &QTableWidget::cellPressed, this,
            [this](int row, int column) { openEditor(row, column); });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &ConditionGrid::placeEditor);
}

ConditionGrid::~ConditionGrid() {
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void ConditionGrid::InitGrid() {
    setColumnCount(5);
    setHorizontalHeaderLabels({QStringLiteral("选择项"), QStringLiteral("逻辑运算符"),
                               QStringLiteral("值"), QStringLiteral("条件连接符"), QString()});
    // A date shows whole in the value column, whatever the font.
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 12;
    const int widths[] = {pixels(2000), pixels(1000), qMax(pixels(1000), dateWidth), pixels(1000)};
    for (int column = FieldColumn; column < TypeColumn; ++column)
        setColumnWidth(column, widths[column]);
    setColumnHidden(TypeColumn, true);
}

void ConditionGrid::checkFocusWithin(QWidget* window, QWidget* exempt) {
    m_window = window;
    m_exempt = exempt;
    connect(qApp, &QApplication::focusChanged, this, &ConditionGrid::onFocusChanged,
            Qt::UniqueConnection);
}

void ConditionGrid::setFields(const QList<ConditionField>& fields) {
    m_fields->clear();
    m_types->clear();
    for (const ConditionField& field : fields) {
        m_fields->addItem(field.display);
        m_types->addItem(field.type);
    }
}

QString ConditionGrid::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void ConditionGrid::setCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column))
        cell->setText(text);
    else
        setItem(row, column, new QTableWidgetItem(text));
}

QStringList ConditionGrid::fieldColumn() const {
    QStringList fields;
    for (int row = 0; row < rowCount(); ++row)
        fields.append(cellText(row, FieldColumn));
    return fields;
}

QList<GridRow> ConditionGrid::rows() const {
    QList<GridRow> result;
    for (int row = 0; row < rowCount(); ++row) {
        result.append({cellText(row, FieldColumn), cellText(row, OperatorColumn),
                       cellText(row, ValueColumn), cellText(row, ConnectiveColumn),
                       cellText(row, TypeColumn)});
    }
    return result;
}

void ConditionGrid::setRows(const QList<GridRow>& rows) {
    clearRows();
    setRowCount(int(rows.size()));
    for (int row = 0; row < rowCount(); ++row) {
        const GridRow& shown = rows.at(row);
        setCellText(row, FieldColumn, shown.field);
        setCellText(row, OperatorColumn, shown.operatorLabel);
        setCellText(row, ValueColumn, shown.value);
        setCellText(row, ConnectiveColumn, shown.connective);
        setCellText(row, TypeColumn, shown.type);
    }
}

void ConditionGrid::clearRows() {
    cancelCellEdit();
    setRowCount(0);
}

void ConditionGrid::appendRowAndEdit() {
    const int row = rowCount();
    insertRow(row);
    openEditor(row, FieldColumn);
}

bool ConditionGrid::removeCurrentRow() {
    const int row = currentRow();
    if (row < 0 || row >= rowCount())
        return false;
    if (m_voucherRules && VoucherProjectRules::refusesDeletion(fieldColumn(), row)) {
        message(VoucherProjectRules::deletionMessage(), Prompter::Icon::None);
        return false;
    }
    cancelCellEdit();
    removeRow(row);
    emit modified();
    return true;
}

QWidget* ConditionGrid::editorOf(int column) const {
    switch (column) {
    case FieldColumn:
        return m_fields;
    case OperatorColumn:
        return m_operators;
    case ValueColumn:
        return m_value;
    case ConnectiveColumn:
        return m_connectives;
    default:
        return nullptr;
    }
}

bool ConditionGrid::isEditor(const QWidget* widget) const {
    return widget && (widget == m_fields || widget == m_operators || widget == m_value ||
                      widget == m_connectives);
}

bool ConditionGrid::EditInCell(int row, int column, const QWidget* editor) const {
    return editor && editor->isVisible() && m_editRow == row && m_editColumn == column &&
           editorOf(column) == editor;
}

bool ConditionGrid::UserHasInput(const QComboBox* list) {
    return list->currentIndex() >= 0;
}

// The last entry equal to the cell's text is selected. A cell that is empty, or whose text
// the list lacks, leaves the list without a selection, so that ending the edit keeps the
// cell: the list holds whatever was selected before (the first entry of a list just filled,
// another row's field) and would write it over an operator the field no longer offers or a
// field that left the structure.
void ConditionGrid::selectEntry(QComboBox* list, const QString& text) const {
    int index = list->count() - 1;
    while (index >= 0 && (text.isEmpty() || list->itemText(index) != text))
        --index;
    list->setCurrentIndex(index);
}

// The row's field in the field list, its type beside it; no selection when the list lacks
// it, so that no other field's type is used.
void ConditionGrid::selectRowField(int row) {
    const int index = m_fields->findText(cellText(row, FieldColumn), Qt::MatchExactly);
    m_fields->setCurrentIndex(index);
    m_types->setCurrentIndex(index);
}

QString ConditionGrid::chosenType() const {
    const int index = m_fields->currentIndex();
    return index >= 0 ? m_types->itemText(index) : QString();
}

void ConditionGrid::rebuildOperators() {
    QStringList current;
    for (int index = 0; index < m_operators->count(); ++index)
        current.append(m_operators->itemText(index));
    const QString field = m_fields->currentIndex() >= 0 ? m_fields->currentText() : QString();
    const QStringList offered = OperatorsForField(field, chosenType(), current);
    if (offered == current)
        return;
    m_operators->clear();
    m_operators->addItems(offered);
}

void ConditionGrid::openEditor(int row, int column, bool showList) {
    QWidget* editor = editorOf(column);
    if (!editor || row < 0 || row >= rowCount())
        return;
    endCellEdit();
    setCurrentCell(row, column);
    m_editRow = row;
    m_editColumn = column;
    const QString text = cellText(row, column);
    switch (column) {
    case FieldColumn:
        m_typeBeforeEdit = cellText(row, TypeColumn);
        selectEntry(m_fields, text);
        break;
    case OperatorColumn:
        selectRowField(row);
        rebuildOperators();
        selectEntry(m_operators, text);
        break;
    case ValueColumn:
        selectRowField(row);
        m_value->setText(text.trimmed());
        if (chosenType() == FieldType::date() && m_value->text().isEmpty())
            m_value->setText(QStringLiteral("Today"));
        // Typing replaces the value, as in any grid; the arrow keys keep it.
        m_value->selectAll();
        break;
    default:
        selectEntry(m_connectives, text);
        break;
    }
    placeEditor();
    focusQuietly(editor);
    if (auto* list = qobject_cast<QComboBox*>(editor); list && showList)
        list->showPopup();
}

void ConditionGrid::placeEditor() {
    QWidget* editor = editorOf(m_editColumn);
    if (!editor || m_editRow < 0)
        return;
    const QRect cell = visualRect(model()->index(m_editRow, m_editColumn));
    if (!viewport()->rect().intersects(cell)) {
        if (editor->hasFocus())
            focusQuietly(this);
        editor->hide();
        return;
    }
    editor->setGeometry(cell);
    editor->show();
    editor->raise();
}

void ConditionGrid::endCellEdit() {
    const int row = m_editRow;
    const int column = m_editColumn;
    m_editRow = -1;
    m_editColumn = -1;
    bool changed = false;
    if (row >= 0 && row < rowCount()) {
        QString text;
        if (column == ValueColumn)
            text = m_value->text();
        else if (auto* list = qobject_cast<QComboBox*>(editorOf(column));
                 list && UserHasInput(list))
            text = list->currentText();
        else
            text = cellText(row, column);
        changed = text != cellText(row, column);
        if (changed)
            setCellText(row, column, text);
    }
    hideEditors();
    if (changed)
        emit modified();
}

void ConditionGrid::cancelCellEdit() {
    // A field chosen but not written leaves its type behind; the row keeps its own.
    if (m_editColumn == FieldColumn && m_editRow >= 0 && m_editRow < rowCount())
        setCellText(m_editRow, TypeColumn, m_typeBeforeEdit);
    m_editRow = -1;
    m_editColumn = -1;
    hideEditors();
}

void ConditionGrid::hideEditors() {
    const QWidget* focused = QApplication::focusWidget();
    if (isEditor(focused) && isVisible())
        focusQuietly(this);
    for (QWidget* editor : {static_cast<QWidget*>(m_fields), static_cast<QWidget*>(m_operators),
                            static_cast<QWidget*>(m_value), static_cast<QWidget*>(m_connectives)})
        editor->hide();
}

void ConditionGrid::focusQuietly(QWidget* widget) {
    const bool wasQuiet = m_quietFocus;
    m_quietFocus = true;
    widget->setFocus();
    m_quietFocus = wasQuiet;
}

void ConditionGrid::scrollContentsBy(int dx, int dy) {
    QTableWidget::scrollContentsBy(dx, dy);
    placeEditor();
}

void ConditionGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    placeEditor();
}

void ConditionGrid::onCurrentCellChanged(int row, int column) {
    if (m_editRow >= 0 && (row != m_editRow || column != m_editColumn))
        endCellEdit();
}

void ConditionGrid::onFieldChosen(int index) {
    const int row = m_editRow;
    if (row < 0 || m_editColumn != FieldColumn)
        return;
    const QString chosen = m_fields->itemText(index);
    if (m_voucherRules && VoucherProjectRules::refusesFieldChoice(fieldColumn(), row, chosen)) {
        // The refused field is not written when the edit ends.
        selectEntry(m_fields, cellText(row, FieldColumn));
        message(VoucherProjectRules::choiceMessage(), Prompter::Icon::None);
        focusQuietly(m_fields);
        return;
    }
    m_types->setCurrentIndex(index);
    setCellText(row, TypeColumn, m_types->itemText(index));
    rebuildOperators();
    // A value typed for the former field is checked against the new one.
    if (!cellText(row, ValueColumn).trimmed().isEmpty())
        openEditor(row, ValueColumn);
}

} // namespace kvx
