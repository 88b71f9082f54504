#pragma once

#include "platform/xml/xml_element.h"

#include <QByteArrayView>
#include <QString>
#include <functional>

namespace kvx {

// Reads a document's root's child elements one at a time, each as a small tree that is handed
// to the visitor as soon as it is complete and freed after the visit: a document of many
// thousand records is never held as one tree, and each record is worked on while it is still
// in the cache. Reads as XmlDocument::fromBytes reads (same parser, options and refusals).
namespace XmlChildStream {

// Return false to stop reading.
using Visit = std::function<bool(const XmlElement& child)>;

// False, with *error, when the document is not well-formed or is refused; the children visited
// until then have been visited.
bool read(QByteArrayView bytes, const Visit& visit, QString* error = nullptr);

} // namespace XmlChildStream

} // namespace kvx
