#pragma once

#include <QByteArray>
#include <QString>

namespace kvx {

// Settings files and server answers come in UTF-8 or in the Chinese Windows code page (GBK),
// which GB18030 reads as a superset. Text that is valid UTF-8 is taken as UTF-8 (plain ASCII
// reads the same either way). A leading UTF-8 byte order mark is dropped.
QString decodeUtf8OrGb18030(const QByteArray& bytes);

} // namespace kvx
