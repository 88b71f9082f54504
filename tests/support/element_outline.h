#pragma once

#include "platform/xml/xml_element.h"

#include <QStringList>

namespace kvx::test {

// Attributes as "name=value" in their order, joined by the separator.
inline QString attributeText(const QList<QPair<QString, QString>>& attributes,
                             const QString& separator = QStringLiteral(",")) {
    QStringList pairs;
    for (const auto& [name, value] : attributes)
        pairs << name + "=" + value;
    return pairs.join(separator);
}

// The element as name(attribute=value,...)[children], without the file's indentation, for
// comparing whole elements at once (attribute order included).
inline QString outline(const XmlElement& element) {
    QStringList children;
    for (const XmlElement& child : element.childElements())
        children << outline(child);
    return element.name() + "(" + attributeText(element.attributes()) + ")" +
           (children.isEmpty() ? QString() : "[" + children.join(" ") + "]");
}

} // namespace kvx::test
