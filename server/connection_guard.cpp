#include "server/connection_guard.h"

#include "server/request_head.h"

#include <QTcpSocket>

namespace kvx {

namespace {

// After a refusal, what the client still sends is read and dropped for a moment before the
// connection closes, so that the client reads the answer rather than a reset connection.
constexpr int kLingerMs = 2000;

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

} // namespace

ConnectionGuard::ConnectionGuard(QTcpSocket* socket, QObject* parser, const HttpSettings& settings,
                                 LogSink log)
    : QObject(socket)
    , m_socket(socket)
    , m_parser(parser)
    , m_maxHeaderBytes(settings.maxHeaderBytes)
    , m_maxBodyBytes(settings.maxBodyBytes)
    , m_log(std::move(log)) {
    connect(socket, &QTcpSocket::readyRead, this, &ConnectionGuard::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        m_answerPending = false;
        m_idle.start();
    });
    m_idle.setSingleShot(true);
    m_idle.setInterval(settings.idleTimeoutMs);
    connect(&m_idle, &QTimer::timeout, this, &ConnectionGuard::onIdle);
    m_idle.start();
}

void ConnectionGuard::onReadyRead() {
    if (m_state == State::Refused) {
        m_socket->skip(m_socket->bytesAvailable());
        return;
    }
    m_idle.start();
    // The parser reads everything on each signal, after this handler: what is available now has
    // not been seen before. A body is only counted; a head is looked at without taking it.
    const qint64 available = m_socket->bytesAvailable();
    QByteArray arrived;
    qsizetype at = 0;
    while (at < available) {
        if (m_state == State::Body) {
            const qint64 taken = qMin<qint64>(m_bodyLeft, available - at);
            m_bodyLeft -= taken;
            at += taken;
        } else {
            if (arrived.isEmpty())
                arrived = m_socket->peek(available);
            if (!takeHead(arrived, at))
                return;
        }
        if (m_state == State::Body && m_bodyLeft == 0) {
            m_state = State::Head;
            m_answerPending = true;
        }
    }
}

bool ConnectionGuard::takeHead(const QByteArray& arrived, qsizetype& at) {
    const qsizetype before = m_head.size();
    if (before == 0) {
        m_path.clear();
        m_headOnly = false;
    }
    m_head.append(arrived.constData() + at, arrived.size() - at);
    const qsizetype length = RequestHead::lengthIn(m_head);
    if (length == 0) {
        at = arrived.size();
        if (m_head.size() > m_maxHeaderBytes) {
            refuse(431, QStringLiteral("请求头超过上限（%1字节）。").arg(m_maxHeaderBytes));
            return false;
        }
        return true;
    }
    at += length - before;
    const auto head = RequestHead::parse(m_head.left(length));
    m_head.clear();
    if (length > m_maxHeaderBytes) {
        refuse(431, QStringLiteral("请求头超过上限（%1字节）。").arg(m_maxHeaderBytes));
        return false;
    }
    if (!head) {
        refuse(400, QStringLiteral("请求行或请求头无法识别。"));
        return false;
    }
    m_path = head->path();
    m_headOnly = head->method == "HEAD";
    const HeadVerdict verdict = HeadVerdict::of(*head, m_maxBodyBytes);
    if (verdict.status != 0) {
        refuse(verdict.status, verdict.text);
        return false;
    }
    // Without this a client that asks first (curl does for large bodies) waits a second.
    if (verdict.expectsContinue && verdict.bodyLength > 0)
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_state = State::Body;
    m_bodyLeft = verdict.bodyLength;
    return true;
}

void ConnectionGuard::onIdle() {
    if (m_answerPending) {
        m_idle.start();
        return;
    }
    if (!m_head.isEmpty() || m_state == State::Body)
        refuse(
            408,
            QStringLiteral("请求在%1秒内没有发完，连接已关闭。").arg(m_idle.interval() / 1000.0));
    m_socket->disconnectFromHost();
}

void ConnectionGuard::refuse(int status, const QString& text) {
    m_state = State::Refused;
    m_log(status, m_path, text);
    // The parser never sees the rest of this connection; what it has read of the request so far
    // is dropped with its transaction.
    m_socket->disconnect(m_parser);
    if (m_socket->isTransactionStarted())
        m_socket->commitTransaction();
    m_socket->skip(m_socket->bytesAvailable());
    const QByteArray body = m_headOnly ? QByteArray() : text.toUtf8();
    m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                    "\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Length: " +
                    QByteArray::number(text.toUtf8().size()) + "\r\nConnection: close\r\n\r\n" +
                    body);
    m_idle.stop();
    QTimer::singleShot(kLingerMs, m_socket, [socket = m_socket] { socket->disconnectFromHost(); });
}

} // namespace kvx
