#pragma once

#include "platform/xml/xml_element.h"

typedef struct _xmlDoc xmlDoc;

namespace kvx::detail {

// Evaluates an XPath 1.0 expression with `context` as the context node; returns the element
// nodes of the result in document order. A malformed expression selects nothing.
QList<XmlElement> evaluateXPath(xmlDoc* doc, xmlNode* context, const QString& xpath,
                                const XPathVariables& variables, bool firstOnly);

} // namespace kvx::detail
