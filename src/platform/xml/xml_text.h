#pragma once

#include <QByteArrayView>
#include <QString>

namespace kvx {

// UTF-8 read from a document (a name, a value, a text) as a string. QString::fromUtf8 takes a
// leading U+FEFF for a byte order mark and drops it; in a document's text it is a character
// like any other, and is kept.
QString xmlText(QByteArrayView utf8);

} // namespace kvx
