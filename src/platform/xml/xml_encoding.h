#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

typedef struct _xmlNode xmlNode;

namespace kvx::detail {

// The names of the element, its attributes and its descendants that are not plain ASCII, as
// UTF-8.
void collectNonAsciiNames(xmlNode* element, QSet<QByteArray>& names);

// The encoding a document declared `declared` is written in: the declared one, unless one of the
// names cannot be written in it (a name, unlike text, cannot hold a character reference), then
// GB18030, which holds every character. UTF-8 when the declared one is unknown or empty.
QString writableEncoding(const QString& declared, const QSet<QByteArray>& nonAsciiNames);

// UTF-8 text in an encoding that keeps ASCII as it is (gb2312, GBK, GB18030, UTF-8, Latin-1),
// with a character reference for each character the encoding cannot hold, as libxml2 writes a
// document, appended to `into`. Runs of ASCII, most of a document, are copied as they are.
void appendEncoded(QByteArray& into, QByteArrayView utf8, const QString& encoding);

} // namespace kvx::detail
