#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace kvx::test {

// A small HTTP/1.1 server on 127.0.0.1 for tests: every request is recorded and answered by
// the handler, optionally late, or not at all.
class FixtureHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QString path;
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool never = false; // keep the connection open without answering
    };
    using Handler = std::function<Response(const Request&)>;

    explicit FixtureHttpServer(Handler handler, QObject* parent = nullptr);
    ~FixtureHttpServer() override;

    quint16 port() const;
    // "http://127.0.0.1:PORT/"
    QString baseUrl() const;
    const QList<Request>& requests() const { return m_requests; }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Response& response);

    QTcpServer* m_server;
    Handler m_handler;
    QList<Request> m_requests;
};

} // namespace kvx::test
