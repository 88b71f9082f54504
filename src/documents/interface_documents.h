#pragma once

#include "platform/xml/xml_document.h"

#include <QString>

namespace kvx {

// The operator's credentials as LoginWan.ini keeps them (items 2 to 4).
struct OperatorCredentials {
    QString operatorName;
    QString encryptedPassword;
    QString businessDate;
};

// The export request: a ztinterface root with proc 'Query' and no records. Ordinary values
// give the server's fixed text exactly (CRLF breaks); XML special characters in the values
// are written as references, so an apostrophe in a code cannot break the document.
QString BuildQueryEnvelope(const QString& roottag, const QString& sender,
                           const QString& exportneedexch);

// A random document number in [0, 1 000 000 000), decimal; never empty.
QString MakeDocId();

// Prepares the server's data document for saving: root attributes for this console and the
// declaration 'version="1.0" encoding="gb2312"', whatever encoding the answer declared.
void NormalizeDataDocument(XmlDocument& document, const QString& roottag, const QString& sender);

// Appends the element opinfo (operator, pwd, date in this order) as the root's last child.
XmlElement appendOpinfo(XmlDocument& document, const OperatorCredentials& credentials);

} // namespace kvx
