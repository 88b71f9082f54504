#include "catalogue/element_search.h"

namespace kvx {

XmlElement findFirstElementNamed(const XmlElement& top, const QString& name) {
    if (top.isNull() || name.isEmpty())
        return {};
    // Pre-order walk without recursion, so a deeply nested file cannot exhaust the stack.
    XmlElement current = top;
    while (current) {
        if (current.name() == name)
            return current;
        if (XmlElement child = current.firstChildElement()) {
            current = child;
            continue;
        }
        while (current && !(current == top) && current.nextSiblingElement().isNull())
            current = current.parentElement();
        if (current.isNull() || current == top)
            return {};
        current = current.nextSiblingElement();
    }
    return {};
}

} // namespace kvx
