#include "replace/field_label.h"

#include <QStringList>

namespace kvx {

namespace {

const QString kVoucher = QStringLiteral("voucher");

struct LabelSource {
    QStringList path; // element names below the structure root; empty: no element
    QString suffix;
};

LabelSource labelSource(const QString& itemName, const XmlElement& field) {
    const QString part = field.attribute(QStringLiteral("HeadorBody"));
    const bool hasPart = field.hasAttribute(QStringLiteral("HeadorBody"));
    const QString name = field.attribute(QStringLiteral("RepAttr"));
    if (itemName == kVoucher) {
        if (part == QLatin1String("H"))
            return {{kVoucher, QStringLiteral("header"), name}, {}};
        if (part == QLatin1String("B"))
            return {{kVoucher, QStringLiteral("body"), QStringLiteral("entry"),
                     field.attribute(QStringLiteral("Access"))},
                    {}};
        return {};
    }
    if (part == QLatin1String("H"))
        return {{QStringLiteral("header"), name}, QStringLiteral("-主表")};
    if (part == QLatin1String("B"))
        return {{QStringLiteral("body"), name}, QStringLiteral("-子表")};
    if (hasPart)
        return {};
    if (itemName == QLatin1String("internalbalance"))
        return {{itemName, QStringLiteral("common"), name}, {}};
    return {{QStringLiteral("common"), name}, {}};
}

// The first element in document order at the path of child names, as a relative location path
// selects it; names are compared in C++, so no attribute value becomes part of a query.
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
    if (source.path.isEmpty() || structureRoot.isNull())
        return fallback;
    const XmlElement element = elementAt(structureRoot, source.path);
    if (!element.hasAttribute(QStringLiteral("display")))
        return fallback;
    return element.attribute(QStringLiteral("display")) + source.suffix;
}

} // namespace kvx
