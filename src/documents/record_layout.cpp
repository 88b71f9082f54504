#include "documents/record_layout.h"

#include "conditions/item_structure.h"

#include <QDate>

namespace kvx {

namespace {

const QByteArray kHeader("header");
const QByteArray kBody("body");

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

qsizetype digitsFrom(QByteArrayView value, qsizetype at) {
    qsizetype end = at;
    while (end < value.size() && isDigit(value[end]))
        ++end;
    return end - at;
}

bool isInteger(QByteArrayView value) {
    const qsizetype sign = !value.isEmpty() && (value[0] == '+' || value[0] == '-') ? 1 : 0;
    const qsizetype digits = digitsFrom(value, sign);
    return digits > 0 && sign + digits == value.size();
}

// "12", "-3.50", ".5", "5." as the exchange server reads amounts; no exponent.
bool isDecimal(QByteArrayView value) {
    const qsizetype sign = !value.isEmpty() && (value[0] == '+' || value[0] == '-') ? 1 : 0;
    const qsizetype whole = digitsFrom(value, sign);
    qsizetype at = sign + whole;
    if (at == value.size())
        return whole > 0;
    if (value[at] != '.')
        return false;
    const qsizetype fraction = digitsFrom(value, at + 1);
    return whole + fraction > 0 && at + 1 + fraction == value.size();
}

bool isDate(QByteArrayView value) {
    if (value.size() != 10 || value[4] != '-' || value[7] != '-')
        return false;
    int parts[3] = {};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        if (digitsFrom(value, starts[p]) < lengths[p])
            return false;
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i)
            parts[p] = parts[p] * 10 + (value[i] - '0');
    }
    return QDate(parts[0], parts[1], parts[2]).isValid();
}

RecordLayout::Type typeNamed(const QString& text) {
    if (text == QStringLiteral("整数"))
        return RecordLayout::Type::Integer;
    if (text == QStringLiteral("小数"))
        return RecordLayout::Type::Decimal;
    if (text == QStringLiteral("日期"))
        return RecordLayout::Type::Date;
    return RecordLayout::Type::Text;
}

} // namespace

RecordLayout RecordLayout::of(const ItemStructure& structure) {
    RecordLayout layout;
    for (const StructureField& field : structure.fields()) {
        QList<QByteArray> groups;
        for (const QString& group : field.groups)
            groups.append(group.toUtf8());
        layout.m_groups.unite(QSet<QByteArray>(groups.cbegin(), groups.cend()));
        const Part part = partOf(groups, groups.size());
        // The first field of a name in its part says its type.
        QHash<QByteArray, Type>& fields = layout.m_fields[int(part)];
        const QByteArray name = field.name.toUtf8();
        if (!name.isEmpty() && !fields.contains(name)) {
            fields.insert(name, typeNamed(field.type));
            ++layout.m_fieldCount;
        }
    }
    return layout;
}

RecordLayout::Part RecordLayout::partOf(const QList<QByteArray>& groups, qsizetype count) {
    for (qsizetype i = 0; i < count; ++i) {
        if (groups.at(i) == kBody)
            return Part::Body;
        if (groups.at(i) == kHeader)
            return Part::Header;
    }
    return Part::Record;
}

const RecordLayout::Type* RecordLayout::typeOf(Part part, const QByteArray& name) const {
    const QHash<QByteArray, Type>& fields = m_fields[int(part)];
    const auto found = fields.constFind(name);
    return found == fields.cend() ? nullptr : &found.value();
}

bool RecordLayout::fits(Type type, QByteArrayView value) {
    switch (type) {
    case Type::Text:
        return true;
    case Type::Integer:
        return isInteger(value);
    case Type::Decimal:
        return isDecimal(value);
    case Type::Date:
        return isDate(value);
    }
    return true;
}

QString RecordLayout::typeText(Type type) {
    switch (type) {
    case Type::Text:
        break;
    case Type::Integer:
        return QStringLiteral("整数");
    case Type::Decimal:
        return QStringLiteral("小数");
    case Type::Date:
        return QStringLiteral("日期（yyyy-mm-dd）");
    }
    return QStringLiteral("文本");
}

} // namespace kvx
