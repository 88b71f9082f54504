#pragma once

#include "conditions/condition_row.h"
#include "conditions/item_structure.h"
#include "platform/prompter.h"

#include <QList>
#include <QLocale>
#include <QString>

namespace kvx {

// One data row of the condition grid as the operator sees it: the field's display text, the
// operator and connective labels, the value and, hidden, the field's type.
struct GridRow {
    QString field;
    QString operatorLabel;
    QString value;
    QString connective;
    QString type;

    bool operator==(const GridRow&) const = default;
};

// The in-cell editor open during a grid check, if any. Rows count from 1 as the messages
// number them; columns are 0 field list, 1 operator list, 2 value box, 3 connective list.
struct OpenCellEditor {
    int row = -1;
    int column = -1;
    bool hasSelection = false; // a list editor with a selected entry
    QString text;              // the value box's text
};

// The outcome of the grid check: where the focus goes when it fails, the message (empty when
// the value check fails silently) with its icon, and the value box's text afterwards.
struct GridCheck {
    bool passed = true;
    int row = -1;
    int column = -1;
    QString message;
    Prompter::Icon icon = Prompter::Icon::None;
    QString valueText;
};

// The check before the grid grows or loses the focus: the first row whose field or operator
// is missing, or whose value fails its type, stops it.
GridCheck ValidInput(const QList<GridRow>& rows, const OpenCellEditor& editor,
                     const QLocale& locale = QLocale::system());

// A stored condition as a grid row; its type is that of the first field of the list with
// its display text ("" when the list has none).
GridRow gridRowOf(const ConditionRow& condition, const QList<ConditionField>& fields);
// The grid row as the condition file stores it.
ConditionRow conditionRowOf(const GridRow& row);

} // namespace kvx
