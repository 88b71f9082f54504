#pragma once

#include "server/http_settings.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

class QTcpSocket;

namespace kvx {

// Watches one connection of the HTTP server ahead of Qt's request parser, which in Qt 6.4 keeps
// reading a request, body included, until it is complete and only then hands it on. The guard
// sees every byte first (its handler is connected before the parser's) without taking it, finds
// where each request's head ends, and refuses before the body is read: a head over the limit
// (431), a body declared over the limit (413), a request with a body but no usable
// Content-Length (411 or 400). A refused request never reaches the parser: the guard answers,
// ignores what the client still sends and closes. A connection that sends nothing for the idle
// time is closed, with 408 when a request was left half sent.
class ConnectionGuard : public QObject {
    Q_OBJECT
public:
    using LogSink = std::function<void(int status, const QString& path, const QString& text)>;

    // The guard belongs to the socket. `parser` is the receiver of the socket's signals that
    // reads requests (the HTTP server).
    ConnectionGuard(QTcpSocket* socket, QObject* parser, const HttpSettings& settings, LogSink log);

private:
    enum class State { Head, Body, Refused };

    void onReadyRead();
    void onIdle();
    // Consumes the request's head from the arrived bytes; false when it refused the request.
    bool takeHead(const QByteArray& arrived, qsizetype& at);
    void refuse(int status, const QString& text);

    QTcpSocket* m_socket;
    QObject* m_parser;
    qint64 m_maxHeaderBytes;
    qint64 m_maxBodyBytes;
    LogSink m_log;
    State m_state = State::Head;
    QByteArray m_head; // the current request's head as far as it has come
    QString m_path;
    bool m_headOnly = false; // a HEAD request: its answer has no body
    qint64 m_bodyLeft = 0;
    // A whole request has come and its answer has not been written yet: waiting for the
    // answer is not idling.
    bool m_answerPending = false;
    QTimer m_idle;
};

} // namespace kvx
