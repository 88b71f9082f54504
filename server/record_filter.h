#pragma once

#include "platform/xml/xml_element.h"

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

    // The fields the conditions look at, as steps of paths below the record; for a reader
    // that gets their texts without a tree (XmlFieldScanner).
    const QList<QStringList>& fields() const { return m_fields; }
    // Whether a record with these texts of fields() (none: the record has no such field)
    // matches.
    bool matches(const QList<std::optional<QString>>& texts) const;
    bool matches(const XmlElement& record) const;

private:
    enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
    struct Condition {
        int field;       // in m_fields
        int headerField; // for a bare name the record leaves out: its header's; -1 for a path
        Operator op;
        QString value;
        bool orWithNext;
    };

    static std::optional<Operator> parseOperator(const QString& text);
    int fieldIndex(const QString& path);
    static bool holds(const Condition& condition, const QList<std::optional<QString>>& texts);

    QList<Condition> m_conditions;
    QList<QStringList> m_fields;
};

} // namespace kvx
