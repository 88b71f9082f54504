#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace kvx::test {

// A small HTTP server on 127.0.0.1 for tests and benchmarks, on Qt's HTTP server: every
// request is recorded and answered by the handler, optionally late, not at all, or by closing
// the connection after reading it.
class FixtureHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    struct Request {
        QString path;
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool never = false; // keep the connection open without answering
        bool drop = false;  // close the connection without answering
    };
    using Handler = std::function<Response(const Request&)>;

    explicit FixtureHttpServer(Handler handler, QObject* parent = nullptr);

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:PORT/"
    QString baseUrl() const;
    const QList<Request>& requests() const { return m_requests; }
    // Benchmarks post documents of many megabytes again and again: keep none of them.
    void setRecording(bool on) { m_recording = on; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler m_handler;
    QList<Request> m_requests;
    quint16 m_port = 0;
    bool m_recording = true;
};

} // namespace kvx::test
