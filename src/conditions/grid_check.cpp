#include "conditions/grid_check.h"

#include "conditions/condition_vocabulary.h"
#include "conditions/value_checks.h"

namespace kvx {

namespace {

// The grid messages end with a carriage return, as they always have.
GridCheck emptyCell(int row, int column, const QString& message, const QString& valueText) {
    return {false,    row, column, message.arg(row) + QLatin1Char('\r'), Prompter::Icon::Warning,
            valueText};
}

bool isOpenOver(const OpenCellEditor& editor, int row, int column) {
    return editor.row == row && editor.column == column;
}

} // namespace

GridCheck ValidInput(const QList<GridRow>& rows, const OpenCellEditor& editor,
                     const QLocale& locale) {
    QString valueText = editor.text;
    for (int n = 1; n <= rows.size(); ++n) {
        const GridRow& row = rows.at(n - 1);
        const bool fieldGiven =
            isOpenOver(editor, n, 0) ? editor.hasSelection : !row.field.isEmpty();
        if (!fieldGiven)
            return emptyCell(n, 0, QStringLiteral("第%1行选择项列数据不能为空！"), valueText);
        const bool operatorGiven =
            isOpenOver(editor, n, 1) ? editor.hasSelection : !row.operatorLabel.isEmpty();
        if (!operatorGiven)
            return emptyCell(n, 1, QStringLiteral("第%1行逻辑运算符列数据不能为空！"), valueText);
        if (isOpenOver(editor, n, 2)) {
            const ValueCheck check = ValidUserInput(row.type, valueText, locale);
            valueText = check.text;
            if (!check.passed)
                return {false, n, 2, check.message, Prompter::Icon::None, valueText};
        } else if (row.type != FieldType::text() && row.value.isEmpty()) {
            return emptyCell(n, 2, QStringLiteral("第%1行值列数据不能为空！"), valueText);
        }
    }
    return {true, -1, -1, {}, Prompter::Icon::None, valueText};
}

GridRow gridRowOf(const ConditionRow& condition, const QList<ConditionField>& fields) {
    QString type;
    for (const ConditionField& field : fields) {
        if (field.display == condition.display) {
            type = field.type;
            break;
        }
    }
    return {condition.display, SymbolToOperator(condition.operation), condition.value,
            CodeToConnective(condition.logic), type};
}

ConditionRow conditionRowOf(const GridRow& row) {
    return {row.field, OperatorToSymbol(row.operatorLabel), row.value,
            ConnectiveToCode(row.connective), row.type};
}

} // namespace kvx
