#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kvx {

class XmlDocument;

// What the request log says about one request besides its time and path.
struct RequestSummary {
    QString operatorName;
    QString sender;
    QString roottag;
    QString proc;
    int records = 0;
    QString outcome;
};

// The server's answer to one request, with the facts for its log line.
struct ExchangeReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType;
    RequestSummary summary;

    // The document's bytes in its declared encoding (numeric references where needed).
    static ExchangeReply xml(const XmlDocument& document, RequestSummary summary);
    // A document already written.
    static ExchangeReply xml(QByteArray bytes, RequestSummary summary);
    // A short plain text (UTF-8) for errors.
    static ExchangeReply text(int status, const QString& text, RequestSummary summary = {});

    // One line: time, path, operator, sender, roottag, proc, records, outcome.
    QString logLine(const QDateTime& time, const QString& path) const;
};

} // namespace kvx
