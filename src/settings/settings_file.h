#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvx {

// The line-oriented form of the small settings files: one double-quoted value per line,
// CR LF, no keys; the position of an item gives its meaning. The text is in the Chinese
// Windows code page, as older consoles and tools write and read it: GB18030, which writes
// every GBK character as GBK does and holds every other character too. A text whose GB18030
// bytes would read as other UTF-8 text is written in UTF-8 with a byte order mark.
//
// Reading: items are taken in order; leading blanks are skipped; an item that begins with a
// double quote runs to the next double quote (what follows it up to the next comma or line
// end is ignored); an unquoted item runs to the next comma or line end.
//
// The form has no escape for a double quote and a quoted value cannot hold one, nor a line
// break that a reader would take for the end of an item. Such values are refused when
// writing rather than stored in a form that reads back differently.
namespace SettingsFile {

QStringList parse(const QString& text);
QByteArray format(const QStringList& values);

// True when the value reads back exactly as written.
bool canHold(const QString& value);

// The items of the file; nullopt when it does not exist or cannot be read. Files in the
// Chinese Windows code page and in UTF-8 (as earlier versions of this console wrote them) are
// both read.
std::optional<QStringList> read(const QString& path);

// Rewrites the whole file in GB18030 atomically, after making a read-only file writable.
// Nothing is written (and the old file stays) when a value cannot be held or the file cannot
// be written; `error` then names the file and says why, for the operator.
bool write(const QString& path, const QStringList& values, QString* error = nullptr);

} // namespace SettingsFile

} // namespace kvx
