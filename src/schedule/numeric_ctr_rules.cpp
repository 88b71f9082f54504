#include "schedule/numeric_ctr_rules.h"

#include <QRegularExpression>
#include <algorithm>

namespace kvx {

namespace {

// A whole number: an optional sign and digits, nothing around them.
bool isWholeNumber(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    return pattern.match(text).hasMatch();
}

} // namespace

NumericCtrRules::NumericCtrRules() {
    m_lastValid = QString::number(m_position);
}

QString NumericCtrRules::setBounds(short min, short max) {
    m_min = min;
    m_max = std::max(min, max);
    m_position = std::clamp(m_position, int(m_min), int(m_max));
    if (!isAcceptable(m_lastValid))
        m_lastValid = QString::number(std::clamp(m_lastValid.toInt(), int(m_min), int(m_max)));
    return m_lastValid;
}

bool NumericCtrRules::isAcceptable(const QString& text) const {
    // A decimal point never makes a whole number; the length test by Max's decimal form
    // comes before the value, so "100" is refused for Max 31 by its length.
    if (!isWholeNumber(text) || text.size() > QString::number(m_max).size())
        return false;
    const int value = text.toInt();
    return value >= m_min && value <= m_max;
}

QString NumericCtrRules::textChanged(const QString& text) {
    if (isAcceptable(text))
        m_lastValid = text;
    return m_lastValid;
}

bool NumericCtrRules::acceptsValue(const QString& text) const {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && isWholeNumber(text) && value >= m_min && value <= m_max;
}

QString NumericCtrRules::stepUp() {
    m_position = std::min(m_position + 1, int(m_max));
    return QString::number(m_position);
}

QString NumericCtrRules::stepDown() {
    m_position = std::max(m_position - 1, int(m_min));
    return QString::number(m_position);
}

} // namespace kvx
