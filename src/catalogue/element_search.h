#pragma once

#include "platform/xml/xml_element.h"

namespace kvx {

// The first element named `name` among `top` and its descendants, in document order: what
// "//name" selects from the root, found by comparing tag names, so that a name holding an
// apostrophe, a bracket or any XPath syntax is only ever a name.
XmlElement findFirstElementNamed(const XmlElement& top, const QString& name);

} // namespace kvx
