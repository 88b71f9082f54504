#pragma once

#include "conditions/grid_check.h"
#include "conditions/item_structure.h"

#include <QList>
#include <QTableWidget>

class QComboBox;
class QLineEdit;

namespace kvx {

// The condition grid `Grid`: one row per condition with the field, the operator, the value,
// the connective and, hidden, the field's type. A cell is edited in the editor placed over
// it: the field list `cmbFields`, the operator list `cmbOperate`, the value box `txtValue` or
// the connective list `cmbLink`; `cmbType` holds the field types beside the field list.
//
// Keyboard: the arrow keys and Tab move between cells; Enter (or F2) opens the cell's editor,
// and in an editor Enter commits, Escape cancels, Tab commits and opens the next cell's
// editor, and the up and down arrows open a list. A mouse click opens the clicked cell's
// editor. Leaving the value box checks its value against the field's type; leaving the grid
// for another control of the window checks the whole grid. A refused check keeps the focus
// and swallows the click that tried to move it.
class ConditionGrid : public QTableWidget {
    Q_OBJECT
public:
    ConditionGrid(Prompter& prompter, const QString& messageTitle, QWidget* parent = nullptr);
    ~ConditionGrid() override;

    // The header row and the five columns with their widths; the type column hidden.
    void InitGrid();
    // The checks on leaving apply while the focus stays within `window`; moving to `exempt`
    // (the delete button) checks nothing.
    void checkFocusWithin(QWidget* window, QWidget* exempt);

    // The fields the field list offers, each with its type.
    void setFields(const QList<ConditionField>& fields);
    // While set, the project class and number of vouchers follow their order.
    void setVoucherRules(bool apply) { m_voucherRules = apply; }

    QList<GridRow> rows() const;
    void setRows(const QList<GridRow>& rows);
    void clearRows();
    // Appends an empty row and opens its field list.
    void appendRowAndEdit();
    // Removes the current row, dropping what its open editor holds; false when there is no
    // row or the voucher rules refuse.
    bool removeCurrentRow();

    // Writes what the open editor holds into its cell and hides the editors.
    void endCellEdit();
    // Hides the editors; nothing is written.
    void cancelCellEdit();
    // The grid check with its messages; when it fails the failing cell takes the focus.
    bool ValidInput();

Q_SIGNALS:
    // A cell's content was changed or a row removed.
    void modified();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Column { FieldColumn, OperatorColumn, ValueColumn, ConnectiveColumn, TypeColumn };

    void openEditor(int row, int column, bool showList = false);
    QWidget* editorOf(int column) const;
    bool EditInCell(int row, int column, const QWidget* editor) const;
    static bool UserHasInput(const QComboBox* list);
    void placeEditor();
    void hideEditors();
    void focusQuietly(QWidget* widget);
    bool isEditor(const QWidget* widget) const;

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    QStringList fieldColumn() const;
    void selectEntry(QComboBox* list, const QString& text) const;
    void selectRowField(int row);
    QString chosenType() const;
    void rebuildOperators();

    void onFieldChosen(int index);
    void onCurrentCellChanged(int row, int column);
    void onFocusChanged(QWidget* old, QWidget* now);
    bool handleEditorKey(QKeyEvent* key);
    // txtValue_Validate on the value box, with its message.
    bool checkValueBox();
    void moveToNextCell(int row, int column, bool forward);
    void refuseFocusChange(QWidget* keeper);
    void message(const QString& text, Prompter::Icon icon) const;

    Prompter& m_prompter;
    QString m_title;
    QComboBox* m_fields;
    QComboBox* m_types;
    QComboBox* m_operators;
    QLineEdit* m_value;
    QComboBox* m_connectives;
    QWidget* m_window = nullptr;
    QWidget* m_exempt = nullptr;
    QObject* m_clickSwallower = nullptr;
    int m_editRow = -1;
    int m_editColumn = -1;
    QString m_typeBeforeEdit;
    bool m_voucherRules = false;
    bool m_quietFocus = false;
};

} // namespace kvx
