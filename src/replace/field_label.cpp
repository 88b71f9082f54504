#include "replace/field_label.h"

#include <QStringList>

namespace kvx {

namespace {

// Where a field's label is: the element at the path below the structure root, the path
// being a prefix of element names ending in "/" followed by one name taken from the field.
struct LabelSource {
    QString prefix; // empty: the field has no element
    QString name;
    QString suffix;
};

LabelSource labelSource(const QString& itemName, const XmlElement& field) {
    const QString part = field.attribute(QStringLiteral("HeadorBody"));
    const QString name = field.attribute(QStringLiteral("RepAttr"));
    if (itemName == QLatin1String("voucher")) {
        if (part == QLatin1String("H"))
            return {QStringLiteral("voucher/header/"), name, {}};
        if (part == QLatin1String("B"))
            return {QStringLiteral("voucher/body/entry/"),
                    field.attribute(QStringLiteral("Access")),
                    {}};
        return {};
    }
    if (part == QLatin1String("H"))
        return {QStringLiteral("header/"), name, QStringLiteral("-主表")};
    if (part == QLatin1String("B"))
        return {QStringLiteral("body/"), name, QStringLiteral("-子表")};
    if (field.hasAttribute(QStringLiteral("HeadorBody")))
        return {};
    if (itemName == QLatin1String("internalbalance"))
        return {QStringLiteral("internalbalance/common/"), name, {}};
    return {QStringLiteral("common/"), name, {}};
}

// The first element in document order at the path of child names, as a relative location path
// selects it; names are compared in C++, so the name taken from the field never becomes part
// of a query, whatever it holds.
XmlElement elementAt(const XmlElement& from, const QStringList& path, qsizetype step = 0) {
    if (step == path.size())
        return from;
    for (const XmlElement& child : from.childElements()) {
        if (child.name() != path[step])
            continue;
        if (const XmlElement found = elementAt(child, path, step + 1))
            return found;
    }
    return {};
}

} // namespace

QString fieldLabel(const QString& itemName, const XmlElement& field,
                   const XmlElement& structureRoot) {
    const QString fallback = field.attribute(QStringLiteral("RepAttr"));
    const LabelSource source = labelSource(itemName, field);
    if (source.prefix.isEmpty() || structureRoot.isNull())
        return fallback;
    QStringList path = source.prefix.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    path.append(source.name);
    const XmlElement element = elementAt(structureRoot, path);
    if (!element.hasAttribute(QStringLiteral("display")))
        return fallback;
    return element.attribute(QStringLiteral("display")) + source.suffix;
}

} // namespace kvx
