#pragma once

#include <QByteArray>
#include <QString>

namespace kvx {

// Text written by this program is UTF-8; files and answers from older installations are in
// the Chinese Windows code page (GBK), which GB18030 reads as a superset. A leading UTF-8
// byte order mark is dropped.
QString decodeUtf8OrGb18030(const QByteArray& bytes);

} // namespace kvx
