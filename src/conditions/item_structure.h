#pragma once

#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvx {

// A field that export conditions may test: its display text and type ("文本", "小数",
// "整数", "日期", "布尔" or whatever the file says).
struct ConditionField {
    QString display;
    QString type;

    bool operator==(const ConditionField&) const = default;
};

// A field of the item's records as the structure file places it: the names of the elements
// between the file's root and the field element (such as "voucher", "header"), the field's
// name (the element's text) and its type ("文本" when the file gives none).
struct StructureField {
    QStringList groups;
    QString name;
    QString type;
};

// The item structure file of one exchange item: "\xml\rsxml\" + interface name +
// "xmlrs.xml", the field catalogue from which conditions are chosen. A default-constructed
// or failed structure holds no document: it lists no fields and names none.
class ItemStructure {
public:
    ItemStructure() = default;

    static QString relativePath(const QString& interfaceName);
    // A missing or malformed file gives a structure that is not loaded (no message: the
    // editor then offers the path boxes only).
    static ItemStructure load(const AppFolder& folder, const QString& interfaceName);
    static ItemStructure fromDocument(XmlDocument document);

    bool isLoaded() const { return !m_document.isNull(); }

    // Fields whose `iswhere` is "Y" in any letter case, in document order; a field without
    // `type` is "文本".
    QList<ConditionField> LoadFieldList() const;
    // The field name (text content) of the first element whose `display` equals the text;
    // "" for an empty text, an unknown text or no document.
    QString FieldNameOf(const QString& display) const;
    // Every field element (an element with a `display`), in document order.
    QList<StructureField> fields() const;
    // The field that identifies a record: the text of the first element marked `iskey` "Y"
    // in any letter case; empty when the file marks none.
    QString keyField() const;

private:
    XmlDocument m_document;
    QHash<QString, QString> m_nameByDisplay;
};

} // namespace kvx
