#pragma once

#include "platform/xml/xml_document.h"

#include <QString>

namespace kvx {

// Appends one item's block of the run report: the title line, one line per result element
// `item` (at any depth, in document order) and an empty line; every line ends with CRLF.
QString AppendResultReport(const XmlDocument& resultDocument, const QString& title,
                           const QString& report);

// How many records of a result document the server took (`succeed` "0") and refused.
struct ResultCounts {
    int succeeded = 0;
    int failed = 0;
};
ResultCounts countResults(const XmlDocument& resultDocument);

} // namespace kvx
