#include "bench_http_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

BenchHttpServer::BenchHttpServer(QByteArray answer, QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_answer(std::move(answer)) {
    connect(m_server, &QTcpServer::newConnection, this, &BenchHttpServer::onNewConnection);
}

quint16 BenchHttpServer::listen() {
    return m_server->listen(QHostAddress::LocalHost, 0) ? m_server->serverPort() : 0;
}

void BenchHttpServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_receptions.insert(socket, Reception{});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_receptions.remove(socket);
            socket->deleteLater();
        });
    }
}

void BenchHttpServer::onReadyRead(QTcpSocket* socket) {
    Reception* reception = &m_receptions[socket];
    if (reception->answered) {
        socket->readAll();
        return;
    }
    if (reception->remaining < 0) {
        reception->header += socket->readAll();
        const qsizetype end = reception->header.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        qint64 length = 0;
        for (const QByteArray& line : reception->header.left(end).split('\n')) {
            const QByteArray lower = line.trimmed().toLower();
            if (lower.startsWith("content-length:"))
                length = lower.mid(15).trimmed().toLongLong();
            if (lower.startsWith("expect:") && lower.contains("100-continue"))
                socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
        reception->remaining = length - (reception->header.size() - end - 4);
        reception->header.clear();
    } else {
        reception->remaining -= socket->readAll().size();
    }
    if (reception->remaining > 0)
        return;
    reception->answered = true;
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n"
                  "Content-Length: " +
                  QByteArray::number(m_answer.size()) + "\r\n\r\n");
    socket->write(m_answer);
    socket->disconnectFromHost();
}
