#include "server/exchange_reply.h"

#include "platform/xml/xml_document.h"

#include <QRegularExpression>
#include <QStringList>

namespace kvx {

namespace {

QByteArray declaredCharset(const QByteArray& bytes) {
    static const QRegularExpression declaration(
        QStringLiteral(R"(^<\?xml[^>]*?encoding\s*=\s*["']([^"']+)["'])"));
    const auto match = declaration.match(QString::fromLatin1(bytes.left(200)));
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArrayLiteral("UTF-8");
}

QString orDash(const QString& value) {
    const QString simplified = value.simplified();
    return simplified.isEmpty() ? QStringLiteral("-") : simplified;
}

} // namespace

ExchangeReply ExchangeReply::xml(const XmlDocument& document, RequestSummary summary) {
    return xml(document.toBytes(), std::move(summary));
}

ExchangeReply ExchangeReply::xml(QByteArray bytes, RequestSummary summary) {
    ExchangeReply reply;
    reply.body = std::move(bytes);
    // The bytes may have been written as GB18030 when an element name needed it.
    reply.contentType = "text/xml; charset=" + declaredCharset(reply.body);
    reply.summary = std::move(summary);
    return reply;
}

ExchangeReply ExchangeReply::text(int status, const QString& text, RequestSummary summary) {
    ExchangeReply reply;
    reply.status = status;
    reply.body = text.toUtf8();
    reply.contentType = "text/plain; charset=UTF-8";
    if (summary.outcome.isEmpty())
        summary.outcome = text;
    reply.summary = std::move(summary);
    return reply;
}

QString ExchangeReply::logLine(const QDateTime& time, const QString& path) const {
    // Joined, not formatted: a path or name may itself hold "%1".
    return QStringList{time.toString(Qt::ISODate),
                       orDash(path),
                       QStringLiteral("operator=") + orDash(summary.operatorName),
                       QStringLiteral("sender=") + orDash(summary.sender),
                       QStringLiteral("roottag=") + orDash(summary.roottag),
                       QStringLiteral("proc=") + orDash(summary.proc),
                       QStringLiteral("records=") + QString::number(summary.records),
                       QStringLiteral("outcome=") + QString::number(status),
                       orDash(summary.outcome)}
        .join(QLatin1Char(' '));
}

} // namespace kvx
