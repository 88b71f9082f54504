#include "settings/settings_file.h"

#include "platform/app_folder.h"
#include "settings/text_decoding.h"

#include <QFile>
#include <QStringEncoder>

namespace kvx::SettingsFile {

namespace {

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Moves past one delimiter at `pos`: a comma, or a line end (CR LF, LF or CR).
qsizetype skipDelimiter(const QString& text, qsizetype pos) {
    if (pos >= text.size())
        return pos;
    if (text.at(pos) == QLatin1Char('\r') && pos + 1 < text.size() &&
        text.at(pos + 1) == QLatin1Char('\n'))
        return pos + 2;
    return pos + 1;
}

qsizetype findDelimiter(const QString& text, qsizetype pos) {
    while (pos < text.size() && text.at(pos) != QLatin1Char(',') && !isLineEnd(text.at(pos)))
        ++pos;
    return pos;
}

} // namespace

QStringList parse(const QString& text) {
    QStringList items;
    qsizetype pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() &&
               (text.at(pos) == QLatin1Char(' ') || text.at(pos) == QLatin1Char('\t')))
            ++pos;
        if (pos < text.size() && text.at(pos) == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), pos + 1);
            const qsizetype end = close < 0 ? text.size() : close;
            items.append(text.mid(pos + 1, end - pos - 1));
            pos = skipDelimiter(text, findDelimiter(text, end));
        } else {
            const qsizetype end = findDelimiter(text, pos);
            items.append(text.mid(pos, end - pos));
            pos = skipDelimiter(text, end);
        }
    }
    return items;
}

QByteArray format(const QStringList& values) {
    QString text;
    for (const QString& value : values)
        text += QLatin1Char('"') + value + QStringLiteral("\"\r\n");
    QStringEncoder gb18030("GB18030");
    const QByteArray bytes = gb18030.encode(text);
    // Some GB18030 texts are valid UTF-8 too ("膜" is C4 A4, "Ĥ" in UTF-8), and a reader takes
    // valid UTF-8 for UTF-8: such a file is written in UTF-8 with a byte order mark instead.
    if (decodeUtf8OrGb18030(bytes) == text)
        return bytes;
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool canHold(const QString& value) {
    return !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\r')) &&
           !value.contains(QLatin1Char('\n'));
}

std::optional<QStringList> read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(decodeUtf8OrGb18030(file.readAll()));
}

bool write(const QString& path, const QStringList& values, QString* error) {
    QString reason;
    for (const QString& value : values) {
        if (!canHold(value))
            reason = QStringLiteral("设置值“%1”含有双引号或换行，无法保存").arg(value);
    }
    if (reason.isEmpty()) {
        AppFolder::makeWritable(path);
        if (AppFolder::writeAtomically(path, format(values), &reason))
            return true;
    }
    if (error)
        *error = AppFolder::toNative(path) + QStringLiteral("文件无法保存：") + reason;
    return false;
}

} // namespace kvx::SettingsFile
