#include "server/record_filter.h"

#include "server/record_fields.h"

namespace kvx {

namespace {

// Numbers compare as numbers when both sides are numbers, everything else as text, so
// dates written yyyy-mm-dd compare in calendar order.
int compareValues(const QString& left, const QString& right) {
    if (isDecimalNumber(left) && isDecimalNumber(right)) {
        const double l = left.toDouble();
        const double r = right.toDouble();
        return l < r ? -1 : (l > r ? 1 : 0);
    }
    const int order = QString::compare(left, right, Qt::CaseSensitive);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

} // namespace

std::optional<RecordFilter::Operator> RecordFilter::parseOperator(const QString& text) {
    const QString op = text.trimmed();
    if (op == QLatin1String("="))
        return Operator::Equal;
    if (op == QLatin1String("<>"))
        return Operator::NotEqual;
    if (op == QLatin1String("<"))
        return Operator::Less;
    if (op == QLatin1String("<="))
        return Operator::LessOrEqual;
    if (op == QLatin1String(">"))
        return Operator::Greater;
    if (op == QLatin1String(">="))
        return Operator::GreaterOrEqual;
    return std::nullopt;
}

std::optional<RecordFilter> RecordFilter::fromConditionItem(const XmlElement& item,
                                                            QString* error) {
    RecordFilter filter;
    if (item.isNull())
        return filter;
    int position = 0;
    for (const XmlElement& field : item.childElements()) {
        // A preserved field is a fixed condition the console's editor keeps but never shows;
        // a preserved element without a field name is only carried along.
        if (field.name() != QLatin1String("field") ||
            (field.hasAttribute(QStringLiteral("preserved")) &&
             field.attribute(QStringLiteral("name")).trimmed().isEmpty()))
            continue;
        ++position;
        const QString label = field.attribute(QStringLiteral("display"));
        const QString name = field.attribute(QStringLiteral("name")).trimmed();
        if (name.isEmpty()) {
            if (error)
                *error = QStringLiteral("第%1个查询条件（%2）没有字段名，无法查询！")
                             .arg(position)
                             .arg(label);
            return std::nullopt;
        }
        const auto op = parseOperator(field.attribute(QStringLiteral("operation")));
        if (!op) {
            if (error)
                *error = QStringLiteral("第%1个查询条件（%2）的比较符“%3”无效！")
                             .arg(position)
                             .arg(label, field.attribute(QStringLiteral("operation")));
            return std::nullopt;
        }
        const QString logic = field.attribute(QStringLiteral("logic")).trimmed().toLower();
        if (!logic.isEmpty() && logic != QLatin1String("and") && logic != QLatin1String("or")) {
            if (error)
                *error = QStringLiteral("第%1个查询条件（%2）的连接词“%3”无效！")
                             .arg(position)
                             .arg(label, field.attribute(QStringLiteral("logic")));
            return std::nullopt;
        }
        // A bare name the record leaves out is looked for in its header.
        const int header = name.contains(QLatin1Char('/'))
                               ? -1
                               : filter.fieldIndex(QStringLiteral("header/") + name);
        filter.m_conditions.append({filter.fieldIndex(name), header, *op,
                                    field.attribute(QStringLiteral("value")).trimmed(),
                                    logic == QLatin1String("or")});
    }
    return filter;
}

int RecordFilter::fieldIndex(const QString& path) {
    const QStringList steps = recordPathSteps(path);
    qsizetype index = m_fields.indexOf(steps);
    if (index < 0) {
        index = m_fields.size();
        m_fields.append(steps);
    }
    return int(index);
}

bool RecordFilter::holds(const Condition& condition, const QList<std::optional<QString>>& texts) {
    std::optional<QString> text = texts.value(condition.field);
    if (!text && condition.headerField >= 0)
        text = texts.value(condition.headerField);
    // A field the record leaves out compares as empty text.
    const int order = compareValues(text ? text->trimmed() : QString(), condition.value);
    switch (condition.op) {
    case Operator::Equal:
        return order == 0;
    case Operator::NotEqual:
        return order != 0;
    case Operator::Less:
        return order < 0;
    case Operator::LessOrEqual:
        return order <= 0;
    case Operator::Greater:
        return order > 0;
    case Operator::GreaterOrEqual:
        return order >= 0;
    }
    return false;
}

bool RecordFilter::matches(const QList<std::optional<QString>>& texts) const {
    if (m_conditions.isEmpty())
        return true;
    bool result = holds(m_conditions.first(), texts);
    for (qsizetype i = 1; i < m_conditions.size(); ++i) {
        const bool next = holds(m_conditions.at(i), texts);
        result = m_conditions.at(i - 1).orWithNext ? (result || next) : (result && next);
    }
    return result;
}

bool RecordFilter::matches(const XmlElement& record) const {
    QList<std::optional<QString>> texts;
    for (const QStringList& steps : m_fields) {
        const XmlElement field = recordField(record, steps.join(QLatin1Char('/')));
        texts.append(field.isNull() ? std::nullopt : std::optional<QString>(field.text()));
    }
    return matches(texts);
}

} // namespace kvx
