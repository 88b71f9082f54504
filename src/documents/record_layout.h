#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace kvx {

class ItemStructure;

// The fields an item's records may hold, by the item's structure file, and the values their
// types allow. The structure file groups fields otherwise than records do ("common/code" is a
// record's own "code", "body/price" a row's "body/entry/price"), so a field is known by the
// part of the record it lies in and its name: the record's own fields, those of its `header`
// and those of its `body` rows, at whatever depth.
class RecordLayout {
public:
    enum class Part { Record, Header, Body };
    enum class Type { Text, Integer, Decimal, Date };

    static RecordLayout of(const ItemStructure& structure);

    bool isEmpty() const { return m_fieldCount == 0; }
    // The part a field lies in by the names of the elements between the record and the field.
    static Part partOf(const QList<QByteArray>& groups, qsizetype count);
    // The field's type; nullptr when the structure has no field of that name in that part.
    const Type* typeOf(Part part, const QByteArray& name) const;
    // A name the structure uses for a group of fields ("header", "body", "common"…).
    bool isGroup(const QByteArray& name) const { return m_groups.contains(name); }

    // Whether a trimmed, non-empty value reads as the type says: an integer is digits with an
    // optional sign, a decimal may have a fraction after a point, a date is yyyy-mm-dd naming
    // a real day. Any text is a text.
    static bool fits(Type type, QByteArrayView value);
    // "整数", "小数", "日期（yyyy-mm-dd）".
    static QString typeText(Type type);

private:
    QHash<QByteArray, Type> m_fields[3];
    QSet<QByteArray> m_groups;
    int m_fieldCount = 0;
};

} // namespace kvx
