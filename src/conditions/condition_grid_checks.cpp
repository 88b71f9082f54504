#include "conditions/condition_grid.h"
#include "conditions/condition_vocabulary.h"
#include "conditions/value_checks.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

// The checks of the condition grid and its keyboard use; the cells and their editors are in
// condition_grid.cpp.

namespace kvx {

namespace {

// Eats the mouse clicks into the window for the rest of the event being handled: the click
// whose focus change a check refused must not press a button or choose a cell.
class ClickSwallower : public QObject {
public:
    explicit ClickSwallower(QObject* parent)
        : QObject(parent) {}

    void start(QWidget* window) {
        m_window = window;
        qApp->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { qApp->removeEventFilter(this); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && m_window && (widget == m_window || m_window->isAncestorOf(widget));
    }

private:
    QWidget* m_window = nullptr;
};

} // namespace

bool ConditionGrid::ValidInput() {
    OpenCellEditor open;
    if (QWidget* editor = editorOf(m_editColumn); EditInCell(m_editRow, m_editColumn, editor)) {
        open.row = m_editRow + 1;
        open.column = m_editColumn;
        // A list without a selection keeps its cell's text when the edit ends.
        if (auto* list = qobject_cast<QComboBox*>(editor))
            open.hasSelection = UserHasInput(list) || !cellText(m_editRow, m_editColumn).isEmpty();
        open.text = m_value->text();
    }
    const GridCheck check = kvx::ValidInput(rows(), open);
    if (open.column == ValueColumn && check.valueText != m_value->text())
        m_value->setText(check.valueText);
    if (check.passed)
        return true;
    if (!check.message.isEmpty())
        message(check.message, check.icon);
    const int row = check.row - 1;
    if (m_editRow == row && m_editColumn == check.column) {
        focusQuietly(editorOf(check.column));
    } else {
        setCurrentCell(row, check.column);
        focusQuietly(this);
    }
    return false;
}

bool ConditionGrid::checkValueBox() {
    const ValueCheck check = txtValue_Validate(chosenType(), m_value->text());
    if (check.text != m_value->text())
        m_value->setText(check.text);
    if (!check.passed)
        message(check.message, Prompter::Icon::None);
    return check.passed;
}

void ConditionGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        openEditor(currentRow(), currentColumn(), true);
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        // Past the last cell (or before the first) Tab leaves the grid instead of wrapping.
        const bool forward = event->key() == Qt::Key_Tab;
        const int last = rowCount() * TypeColumn - 1;
        const int at = currentRow() * TypeColumn + currentColumn();
        if (rowCount() == 0 || (forward ? at >= last : at <= 0)) {
            QWidget::focusNextPrevChild(forward);
            return;
        }
        break;
    }
    default:
        break;
    }
    QTableWidget::keyPressEvent(event);
}

bool ConditionGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isEditor(qobject_cast<QWidget*>(watched)))
        return handleEditorKey(static_cast<QKeyEvent*>(event));
    return QTableWidget::eventFilter(watched, event);
}

bool ConditionGrid::handleEditorKey(QKeyEvent* key) {
    const int row = m_editRow;
    const int column = m_editColumn;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (column == ValueColumn && !checkValueBox())
            return true;
        endCellEdit();
        focusQuietly(this);
        return true;
    case Qt::Key_Escape:
        cancelCellEdit();
        focusQuietly(this);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (column == ValueColumn && !checkValueBox())
            return true;
        endCellEdit();
        moveToNextCell(row, column, key->key() == Qt::Key_Tab);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (auto* list = qobject_cast<QComboBox*>(editorOf(column))) {
            list->showPopup();
            return true;
        }
        return false;
    default:
        return false;
    }
}

// Tab from an editor opens the next cell's editor; from the last cell the focus leaves the
// grid (and the grid check runs).
void ConditionGrid::moveToNextCell(int row, int column, bool forward) {
    const int at = row * TypeColumn + column + (forward ? 1 : -1);
    focusQuietly(this);
    if (row < 0 || at < 0 || at >= rowCount() * TypeColumn) {
        QWidget::focusNextPrevChild(forward);
        return;
    }
    openEditor(at / TypeColumn, at % TypeColumn);
}

void ConditionGrid::onFocusChanged(QWidget* old, QWidget* now) {
    if (m_quietFocus || !now || !m_window || !m_window->isAncestorOf(now) || now == m_exempt)
        return;
    const bool stays = now == this || isEditor(now);
    if (old == m_value && now != m_value) {
        if (!checkValueBox()) {
            refuseFocusChange(m_value);
            return;
        }
        if (!stays)
            endCellEdit();
        return;
    }
    const bool fromGrid =
        old == this || old == m_fields || old == m_operators || old == m_connectives;
    if (!fromGrid || stays)
        return;
    if (!ValidInput()) {
        refuseFocusChange(QApplication::focusWidget());
        return;
    }
    endCellEdit();
}

void ConditionGrid::refuseFocusChange(QWidget* keeper) {
    if (keeper)
        focusQuietly(keeper);
    if (!m_clickSwallower)
        m_clickSwallower = new ClickSwallower(this);
    static_cast<ClickSwallower*>(m_clickSwallower)->start(m_window);
}

void ConditionGrid::message(const QString& text, Prompter::Icon icon) const {
    m_prompter.message(text, m_title, icon);
}

} // namespace kvx
