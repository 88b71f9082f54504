#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace kvx {

// The head of one HTTP request (request line and header fields), read as its bytes arrive so
// that a request the server will not take is refused before its body is read.
struct RequestHead {
    QByteArray method;
    QByteArray target;
    QList<QPair<QByteArray, QByteArray>> fields; // names in lower case, values trimmed

    // The length of the head at the start of the bytes, blank line included; 0 while the blank
    // line has not come. Empty lines before the request line count as part of the head.
    static qsizetype lengthIn(const QByteArray& bytes);
    // Null when the head is not a request line followed by header fields.
    static std::optional<RequestHead> parse(const QByteArray& head);

    QList<QByteArray> values(const QByteArray& name) const;
    QString path() const;
};

// What the server does with a request whose head has come: take its body (of the declared
// length) or refuse it with a status and a text that says what is wrong.
struct HeadVerdict {
    int status = 0; // 0: take the request
    QString text;
    qint64 bodyLength = 0;
    bool expectsContinue = false;

    static HeadVerdict of(const RequestHead& head, qint64 maxBodyBytes);
    static HeadVerdict refused(int status, const QString& text) { return {status, text, 0, false}; }
};

} // namespace kvx
