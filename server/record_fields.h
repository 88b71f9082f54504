#pragma once

#include "platform/xml/xml_element.h"

#include <QStringList>

namespace kvx {

// The element names of a path ("header/date": header, date).
QStringList recordPathSteps(const QString& path);

// The element at a path of child element names relative to a record ("code",
// "header/date"); the first match at each step counts. Null when any step is missing or
// the path is empty.
XmlElement recordField(const XmlElement& record, const QString& path);

// The trimmed text of recordField(); empty when the field is missing.
QString recordFieldText(const XmlElement& record, const QString& path);

// A plain decimal number ("12", "-3.50", ".5"); no exponents, no "inf" or "nan".
bool isDecimalNumber(const QString& text);

} // namespace kvx
