#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace kvx {

// The words of a condition: the labels the editor shows and the symbols and codes the
// condition file stores, the operators offered for a field and what may be typed.
namespace FieldType {
inline QString text() {
    return QStringLiteral("文本");
}
inline QString decimal() {
    return QStringLiteral("小数");
}
inline QString integer() {
    return QStringLiteral("整数");
}
inline QString date() {
    return QStringLiteral("日期");
}
inline QString boolean() {
    return QStringLiteral("布尔");
}
} // namespace FieldType

// "等于" -> "=", ..., "小于等于" -> "<="; "" for any other text.
QString OperatorToSymbol(const QString& label);
// "=" -> "等于", ...; "" for any other text.
QString SymbolToOperator(const QString& symbol);
// "或者" -> "or"; every other text, "" included, -> "and".
QString ConnectiveToCode(const QString& label);
// "or" -> "或者", "and" -> "并且"; "" for any other text.
QString CodeToConnective(const QString& code);

// What the operator list holds before any field is chosen.
QStringList initialOperators();
// What the connective list always holds: "并且", "或者".
QStringList connectiveLabels();

// The operator list once a field is chosen, given what the list held before: a boolean field
// offers "等于" alone; the field "展望到日期" offers "等于" alone whatever its type; every
// other field the six operators.
QStringList OperatorsForField(const QString& display, const QString& type,
                              const QStringList& current);

// The typing filters: whether a typed character is kept in the value box (not one of
// '<>:;,?!@#$%^&*()|\") and in the sender code box (letters, digits and a few control keys).
bool txtValue_KeyPress(QChar typed);
bool cmbCode_KeyPress(QChar typed);

} // namespace kvx
