#pragma once

#include "platform/xml/xml_element.h"

#include <QStringList>

namespace kvx::test {

// The element as name(attribute=value,...)[children], without the file's indentation, for
// comparing whole elements at once (attribute order included).
inline QString outline(const XmlElement& element) {
    QStringList attributes;
    for (const auto& [name, value] : element.attributes())
        attributes << name + "=" + value;
    QStringList children;
    for (const XmlElement& child : element.childElements())
        children << outline(child);
    return element.name() + "(" + attributes.join(",") + ")" +
           (children.isEmpty() ? QString() : "[" + children.join(" ") + "]");
}

} // namespace kvx::test
