#include "server/server_options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace kvx {

namespace {

bool parseListen(const QString& text, QHostAddress& address, quint16& port) {
    static const QRegularExpression form(QStringLiteral(R"(^\[?([^\[\]]*?)\]?:(\d{1,5})$)"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const QString host = match.captured(1);
    const uint number = match.captured(2).toUInt();
    if (number > 65535)
        return false;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        return false;
    port = static_cast<quint16>(number);
    return true;
}

// Bytes, optionally with K, M or G.
bool parseSize(const QString& text, qint64& bytes) {
    static const QRegularExpression form(QStringLiteral(R"(^(\d{1,12})\s*([KkMmGg]?)[Bb]?$)"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const QString unit = match.captured(2).toUpper();
    const int shift = unit == QLatin1String("K")   ? 10
                      : unit == QLatin1String("M") ? 20
                      : unit == QLatin1String("G") ? 30
                                                   : 0;
    bytes = match.captured(1).toLongLong() << shift;
    return bytes > 0;
}

bool parseCount(const QString& text, int& value, int minimum) {
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok && value >= minimum;
}

bool parseFailStatus(const QString& text, int& status, int& every) {
    const QStringList parts = text.split(QLatin1Char(':'));
    // Failures only: the console takes every status but 200 as one.
    return parts.size() == 2 && parseCount(parts[0], status, 400) && status <= 599 &&
           parseCount(parts[1], every, 1);
}

} // namespace

ServerOptions::Outcome ServerOptions::parse(const QStringList& arguments, ServerOptions& options,
                                            QString* message) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reference exchange server: login, import and export of interface documents over "
        "HTTP, data kept in an SQLite file."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Address and port to listen on (default 127.0.0.1:%1); port 0 picks a "
                       "free one, printed on stdout.")
            .arg(kDefaultPort),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption data(
        QStringLiteral("data"),
        QStringLiteral("SQLite store, created when missing (default %1).").arg(options.dataPath),
        QStringLiteral("FILE"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Seed demo operators, sender codes and records "
                                                 "into an empty store."));
    const QCommandLineOption base(QStringLiteral("base-path"),
                                  QStringLiteral("Path below which the pages live (default /)."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption maxBody(QStringLiteral("max-body"),
                                     QStringLiteral("Largest request body; larger ones get 413 "
                                                    "(default 256M)."),
                                     QStringLiteral("BYTES"));
    const QCommandLineOption idle(
        QStringLiteral("idle-timeout"),
        QStringLiteral("Close a connection that sends nothing for N seconds (default 60)."),
        QStringLiteral("N"));
    const QCommandLineOption delay(QStringLiteral("delay-ms"),
                                   QStringLiteral("Fault test: answer every request N ms late."),
                                   QStringLiteral("N"));
    const QCommandLineOption failStatus(
        QStringLiteral("fail-status"),
        QStringLiteral("Fault test: answer CODE (400-599) to every EVERY-th import page request."),
        QStringLiteral("CODE:EVERY"));
    const QCommandLineOption garbage(
        QStringLiteral("garbage"),
        QStringLiteral("Fault test: answer a text that is not XML to every EVERY-th import page "
                       "request."),
        QStringLiteral("EVERY"));
    const QCommandLineOption holdCommit(
        QStringLiteral("hold-commit-ms"),
        QStringLiteral("Fault test: keep each import transaction open N ms before committing."),
        QStringLiteral("N"));
    parser.addOptions(
        {help, listen, data, demo, base, maxBody, idle, delay, failStatus, garbage, holdCommit});

    auto fail = [&](const QString& text) {
        *message = text + QLatin1Char('\n') + parser.helpText();
        return Outcome::Error;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        *message = parser.helpText();
        return Outcome::Help;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(listen) && !parseListen(parser.value(listen), options.address, options.port))
        return fail(QStringLiteral("--listen wants HOST:PORT, not %1").arg(parser.value(listen)));
    if (parser.isSet(data))
        options.dataPath = parser.value(data);
    options.demo = parser.isSet(demo);
    if (parser.isSet(base))
        options.http.basePath = parser.value(base);
    if (parser.isSet(maxBody) && !parseSize(parser.value(maxBody), options.http.maxBodyBytes))
        return fail(QStringLiteral("--max-body wants a size such as 1048576 or 256M"));
    int idleSeconds = options.http.idleTimeoutMs / 1000;
    if (parser.isSet(idle) &&
        (!parseCount(parser.value(idle), idleSeconds, 1) || idleSeconds > 24 * 3600))
        return fail(QStringLiteral("--idle-timeout wants a number of seconds (1 to 86400)"));
    options.http.idleTimeoutMs = idleSeconds * 1000;
    if (parser.isSet(delay) && !parseCount(parser.value(delay), options.http.delayMs, 0))
        return fail(QStringLiteral("--delay-ms wants a number of milliseconds"));
    if (parser.isSet(failStatus) &&
        !parseFailStatus(parser.value(failStatus), options.http.failStatus, options.http.failEvery))
        return fail(QStringLiteral("--fail-status wants CODE:EVERY, such as 500:3"));
    if (parser.isSet(garbage) && !parseCount(parser.value(garbage), options.http.garbageEvery, 1))
        return fail(QStringLiteral("--garbage wants a positive number"));
    if (parser.isSet(holdCommit) && !parseCount(parser.value(holdCommit), options.commitDelayMs, 0))
        return fail(QStringLiteral("--hold-commit-ms wants a number of milliseconds"));
    return Outcome::Run;
}

QString ServerOptions::baseUrl(quint16 boundPort) const {
    QString host = address.toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("http://%1:%2%3").arg(host).arg(boundPort).arg(http.normalizedBasePath());
}

} // namespace kvx
