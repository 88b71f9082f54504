#include "server/request_head.h"

#include <QRegularExpression>
#include <QUrl>

namespace kvx {

qsizetype RequestHead::lengthIn(const QByteArray& bytes) {
    // Lines end in CR LF; a bare LF is taken too, as the HTTP parser behind takes it.
    bool requestLineSeen = false;
    for (qsizetype lineStart = 0; lineStart < bytes.size();) {
        const qsizetype end = bytes.indexOf('\n', lineStart);
        if (end < 0)
            return 0;
        const bool empty = end == lineStart || (end == lineStart + 1 && bytes[lineStart] == '\r');
        if (empty && requestLineSeen)
            return end + 1;
        requestLineSeen |= !empty;
        lineStart = end + 1;
    }
    return 0;
}

std::optional<RequestHead> RequestHead::parse(const QByteArray& head) {
    const QList<QByteArray> lines = head.trimmed().split('\n');
    const QList<QByteArray> request = lines.first().simplified().split(' ');
    static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
    if (request.size() != 3 || !token.match(QString::fromLatin1(request[0])).hasMatch() ||
        !request[2].startsWith("HTTP/"))
        return std::nullopt;
    RequestHead parsed{request[0], request[1], {}};
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !token.match(QString::fromLatin1(line.left(colon))).hasMatch())
            return std::nullopt;
        parsed.fields.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    return parsed;
}

QList<QByteArray> RequestHead::values(const QByteArray& name) const {
    QList<QByteArray> found;
    for (const auto& [field, value] : fields) {
        if (field == name) {
            for (const QByteArray& part : value.split(','))
                found.append(part.trimmed());
        }
    }
    return found;
}

QString RequestHead::path() const {
    return QUrl::fromEncoded(target).path();
}

HeadVerdict HeadVerdict::of(const RequestHead& head, qint64 maxBodyBytes) {
    // The body's length must be known before it is read: a chunked body is not taken.
    if (!head.values("transfer-encoding").isEmpty())
        return refused(411, QStringLiteral("请求须以Content-Length说明内容长度，不接受分块传输。"));
    const QList<QByteArray> lengths = head.values("content-length");
    HeadVerdict verdict;
    if (lengths.isEmpty()) {
        static const QList<QByteArray> withBody = {"POST", "PUT", "PATCH"};
        if (withBody.contains(head.method))
            return refused(411, QStringLiteral("请求缺少Content-Length，无法确定请求内容的长度。"));
    }
    for (const QByteArray& length : lengths) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
        if (!digits.match(QString::fromLatin1(length)).hasMatch() ||
            (length.toLongLong() != lengths.first().toLongLong()))
            return refused(400, QStringLiteral("请求头Content-Length的值“%1”不是有效的长度。")
                                    .arg(QString::fromLatin1(lengths.join(", ").left(60))));
        verdict.bodyLength = length.toLongLong();
    }
    if (verdict.bodyLength > maxBodyBytes)
        return refused(413, QStringLiteral("请求内容超过上限（%1字节）。").arg(maxBodyBytes));
    for (const QByteArray& expectation : head.values("expect"))
        verdict.expectsContinue |= expectation.compare("100-continue", Qt::CaseInsensitive) == 0;
    return verdict;
}

} // namespace kvx
