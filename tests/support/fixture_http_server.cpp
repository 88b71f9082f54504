#include "fixture_http_server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace kvx::test {

namespace {

void write(QHttpServerResponder& responder, const FixtureHttpServer::Response& response) {
    responder.write(response.body, {{"Content-Type", "text/xml"}},
                    static_cast<QHttpServerResponder::StatusCode>(response.status));
}

} // namespace

FixtureHttpServer::FixtureHttpServer(Handler handler, QObject* parent)
    : QAbstractHttpServer(parent)
    , m_handler(std::move(handler))
    , m_port(listen(QHostAddress::LocalHost, 0)) {}

QString FixtureHttpServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

bool FixtureHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const Request received{request.url().path(), request.body()};
    if (m_recording)
        m_requests.append(received);
    const Response response = m_handler ? m_handler(received) : Response{404, {}};
    if (response.never)
        return true;
    if (response.drop) {
        socket->disconnectFromHost();
        return true;
    }
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    if (response.delayMs <= 0) {
        write(*responder, response);
        return true;
    }
    QTimer::singleShot(response.delayMs, this,
                       [responder, response, guard = QPointer<QTcpSocket>(socket)] {
                           if (guard && guard->state() == QAbstractSocket::ConnectedState)
                               write(*responder, response);
                       });
    return true;
}

void FixtureHttpServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}

} // namespace kvx::test
