#include "fixture_http_server.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace kvx::test {

FixtureHttpServer::FixtureHttpServer(Handler handler, QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_handler(std::move(handler)) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &FixtureHttpServer::onNewConnection);
}

FixtureHttpServer::~FixtureHttpServer() = default;

quint16 FixtureHttpServer::port() const {
    return m_server->serverPort();
}

QString FixtureHttpServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

void FixtureHttpServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setProperty("buffer", QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void FixtureHttpServer::onReadyRead(QTcpSocket* socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    qsizetype contentLength = 0;
    for (const QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.toLower().startsWith("content-length:"))
            contentLength = trimmed.mid(15).trimmed().toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + contentLength)
        return;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    Request request;
    request.method = requestLine.value(0);
    request.path = QString::fromUtf8(requestLine.value(1));
    request.body = buffer.mid(headerEnd + 4, contentLength);
    socket->setProperty("buffer", QByteArray());
    m_requests.append(request);
    const Response response = m_handler ? m_handler(request) : Response{404, {}, 0, false};
    if (response.never)
        return;
    if (response.delayMs > 0) {
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(response.delayMs, this, [this, guarded, response] {
            if (guarded)
                answer(guarded, response);
        });
    } else {
        answer(socket, response);
    }
}

void FixtureHttpServer::answer(QTcpSocket* socket, const Response& response) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Fixture\r\n";
    head += "Content-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
            QByteArray::number(response.body.size()) + "\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

} // namespace kvx::test
