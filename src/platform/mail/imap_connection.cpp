#include "platform/mail/imap_connection.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QRegularExpression>
#include <curl/curl.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
#define poll WSAPoll
#else
#include <poll.h>
#endif

namespace kvx {

namespace {

// A line or a literal held in memory is never longer: a mailbox's search result of many
// thousands of messages fits, a server that sends without end does not.
constexpr qsizetype kMaxHeld = 16 * 1024 * 1024;
constexpr int kPollMilliseconds = 250;
constexpr qsizetype kChunk = 64 * 1024;

QString cancelled() {
    return QStringLiteral("已取消");
}

} // namespace

ImapConnection::ImapConnection(const std::atomic_bool* cancel)
    : m_session(cancel)
    , m_cancel(cancel) {}

bool ImapConnection::open(const QByteArray& url, QString* error) {
    curl_easy_setopt(handle(), CURLOPT_URL, url.constData());
    curl_easy_setopt(handle(), CURLOPT_CONNECT_ONLY, 1L);
    return m_session.perform(error);
}

bool ImapConnection::waitForSocket(bool forWriting, bool cancellable, QString* error) {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(handle(), CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
        socket == CURL_SOCKET_BAD) {
        *error = QStringLiteral("与服务器的连接已断开");
        return false;
    }
    const QDeadlineTimer stalled{std::chrono::seconds(CurlSession::kStallSeconds)};
    while (!stalled.hasExpired()) {
        if (cancellable && m_cancel && *m_cancel) {
            *error = cancelled();
            return false;
        }
        pollfd watched{};
        watched.fd = socket;
        watched.events = forWriting ? POLLOUT : POLLIN;
        if (poll(&watched, 1, kPollMilliseconds) > 0)
            return true;
    }
    *error = QStringLiteral("服务器 %1 秒没有回答").arg(CurlSession::kStallSeconds);
    return false;
}

bool ImapConnection::sendAll(const QByteArray& bytes, QString* error) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        size_t written = 0;
        const CURLcode result = curl_easy_send(handle(), bytes.constData() + sent,
                                               size_t(bytes.size() - sent), &written);
        if (result == CURLE_AGAIN) {
            if (!waitForSocket(true, false, error))
                return false;
            continue;
        }
        if (result != CURLE_OK) {
            *error = m_session.errorText(result);
            return false;
        }
        sent += qsizetype(written);
    }
    return true;
}

bool ImapConnection::fill(bool cancellable, QString* error) {
    char chunk[kChunk];
    for (;;) {
        size_t received = 0;
        const CURLcode result = curl_easy_recv(handle(), chunk, sizeof chunk, &received);
        if (result == CURLE_OK && received > 0) {
            m_buffer.append(chunk, qsizetype(received));
            return true;
        }
        if (result == CURLE_OK) {
            *error = QStringLiteral("服务器关闭了连接");
            return false;
        }
        if (result != CURLE_AGAIN) {
            *error = m_session.errorText(result);
            return false;
        }
        if (!waitForSocket(false, cancellable, error))
            return false;
    }
}

bool ImapConnection::readLine(QByteArray* line, bool cancellable, QString* error) {
    qsizetype end = m_buffer.indexOf("\r\n");
    while (end < 0) {
        if (m_buffer.size() > kMaxHeld) {
            *error = QStringLiteral("服务器的回答过长");
            return false;
        }
        const qsizetype searched = std::max<qsizetype>(0, m_buffer.size() - 1);
        if (!fill(cancellable, error))
            return false;
        end = m_buffer.indexOf("\r\n", searched);
    }
    *line = m_buffer.left(end);
    m_buffer.remove(0, end + 2);
    return true;
}

bool ImapConnection::readLiteral(qint64 length, QByteArray* into, QIODevice* body, bool cancellable,
                                 QString* error) {
    if (!body && length > kMaxHeld) {
        *error = QStringLiteral("服务器的回答过长");
        return false;
    }
    while (length > 0) {
        if (m_buffer.isEmpty() && !fill(cancellable, error))
            return false;
        const qsizetype part = qsizetype(std::min<qint64>(length, m_buffer.size()));
        if (body) {
            if (body->write(m_buffer.constData(), part) != part) {
                *error = body->errorString();
                return false;
            }
        } else {
            into->append(m_buffer.constData(), part);
        }
        m_buffer.remove(0, part);
        length -= part;
    }
    return true;
}

bool ImapConnection::readResponse(Response* response, QIODevice* body, bool cancellable,
                                  QString* error) {
    static const QRegularExpression literal(QStringLiteral(R"(\{(\d+)\+?\}$)"));
    static const QRegularExpression bodyItem(QStringLiteral(R"(BODY\[\] \{\d+\+?\}$)"));
    for (;;) {
        QByteArray line;
        if (!readLine(&line, cancellable, error))
            return false;
        response->text += line;
        const QString end = QString::fromLatin1(line.right(40));
        const QRegularExpressionMatch announced = literal.match(end);
        if (!announced.hasMatch())
            return true;
        const qint64 length = announced.captured(1).toLongLong();
        QByteArray text;
        const bool toBody = body && bodyItem.match(end).hasMatch();
        if (!readLiteral(length, &text, toBody ? body : nullptr, cancellable, error))
            return false;
        if (!toBody)
            response->literals.append(text);
    }
}

bool ImapConnection::command(const QByteArray& command, QList<Response>* responses, QString* error,
                             QIODevice* body, bool cancellable) {
    const QByteArray tag = 'K' + QByteArray::number(++m_commands);
    if (!sendAll(tag + ' ' + command + "\r\n", error))
        return false;
    for (;;) {
        Response response;
        if (!readResponse(&response, body, cancellable, error))
            return false;
        if (response.text.startsWith("* ")) {
            response.text.remove(0, 2);
            if (responses)
                responses->append(response);
        } else if (response.text.startsWith(tag + ' ')) {
            const QByteArray status = response.text.mid(tag.size() + 1);
            if (status.startsWith("OK"))
                return true;
            *error = QStringLiteral("服务器拒绝了 %1 命令：%2")
                         .arg(QString::fromLatin1(command.left(command.indexOf(' ', 4))),
                              QString::fromUtf8(status));
            return false;
        } else if (!response.text.startsWith('+')) {
            *error = QStringLiteral("服务器的回答无法识别：") +
                     QString::fromUtf8(response.text.left(200));
            return false;
        }
    }
}

} // namespace kvx
