#pragma once

#include "platform/xml_element.h"

#include <QList>
#include <QString>
#include <optional>

namespace kvx {

// The conditions of a query's condition item, applied to records. Each `field` child says
// `name` (a path relative to the record: "code", "header/date"; a bare name missing from
// the record is looked for in its `header`), `operation` (=, >, <, <>, >=, <=), `value` and
// `logic`, the connective to the next condition. Connectives apply left to right without
// precedence. Elements with a `preserved` attribute are not conditions.
class RecordFilter {
public:
    // No conditions: every record matches.
    RecordFilter() = default;

    // Nothing, with the reason in *error, when a condition names no field or has an unknown
    // operator or connective: guessing would export records the operator meant to leave out.
    static std::optional<RecordFilter> fromConditionItem(const XmlElement& item,
                                                         QString* error = nullptr);

    bool matches(const XmlElement& record) const;

private:
    enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    struct Condition {
        QString field;
        Operator op;
        QString value;
        bool orWithNext;
    };

    static std::optional<Operator> parseOperator(const QString& text);
    static bool holds(const Condition& condition, const XmlElement& record);

    QList<Condition> m_conditions;
};

} // namespace kvx
