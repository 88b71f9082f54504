#pragma once

#include "platform/xml/xml_element.h"

#include <QString>

namespace kvx {

// Values a record must hold before it is stored. Every field whose name ends in "date"
// holds a real date as yyyy-mm-dd (the form export conditions compare); a voucher has
// entries with numeric amounts whose debit and credit balance, unless the document allows
// unbalanced vouchers. Returns why the record is refused, or an empty text.
QString recordProblem(const XmlElement& record, const QString& roottag, bool allowUnbalanced);

} // namespace kvx
