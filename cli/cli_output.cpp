#include "cli_output.h"

#include "platform/terminal.h"

#include <QJsonDocument>
#include <cstdio>

namespace kvx {

namespace {

void write(FILE* stream, QString text) {
    // The runs' reports end their lines with CRLF, as the report window shows them.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool g_progressShown = false;

} // namespace

void CliOutput::out(const QString& text) {
    write(stdout, text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n'));
}

void CliOutput::error(const QString& line) {
    progress({});
    write(stderr, line + QLatin1Char('\n'));
}

void CliOutput::json(const QJsonObject& object) {
    write(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

bool CliOutput::showsProgress() {
    static const bool terminal = Terminal::isTerminal(Terminal::Stream::Error);
    return terminal;
}

void CliOutput::progress(const QString& text) {
    if (!showsProgress() || (text.isEmpty() && !g_progressShown))
        return;
    // Back to the line's start, the line cleared, the new text.
    write(stderr, QStringLiteral("\r\x1b[K") + text);
    g_progressShown = !text.isEmpty();
}

} // namespace kvx
