#include "server/exchange_http_server.h"

#include "server/connection_guard.h"
#include "server/exchange_service.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace kvx {

namespace {

void writeToStderr(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// Hands each new connection to `attach` before the HTTP server connects to it, so that what is
// attached sees the connection's signals first.
class AttachingTcpServer : public QTcpServer {
public:
    AttachingTcpServer(std::function<void(QTcpSocket*)> attach, QObject* parent)
        : QTcpServer(parent)
        , m_attach(std::move(attach)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        m_attach(socket);
        addPendingConnection(socket);
    }

private:
    std::function<void(QTcpSocket*)> m_attach;
};

// A HEAD request gets the status and headers its POST would get, without the body.
void write(QHttpServerResponder& responder, const ExchangeReply& reply, bool headOnly) {
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    if (reply.status == 405)
        responder.writeHeader("Allow", "POST");
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeBody(headOnly ? QByteArray() : reply.body);
}

} // namespace

ExchangeHttpServer::ExchangeHttpServer(ExchangeService& service, HttpSettings settings,
                                       QObject* parent)
    : QAbstractHttpServer(parent)
    , m_service(service)
    , m_settings(std::move(settings))
    , m_log(writeToStderr) {
    m_settings.basePath = m_settings.normalizedBasePath();
}

quint16 ExchangeHttpServer::listen(const QHostAddress& address, quint16 port) {
    auto* server = new AttachingTcpServer(
        [this](QTcpSocket* socket) {
            new ConnectionGuard(socket, this, m_settings,
                                [this](int status, const QString& path, const QString& text) {
                                    m_log(ExchangeReply::text(status, text)
                                              .logLine(QDateTime::currentDateTime(), path));
                                });
        },
        this);
    if (!server->listen(address, port)) {
        delete server;
        return 0;
    }
    bind(server);
    return server->serverPort();
}

ExchangeHttpServer::Page ExchangeHttpServer::pageOf(const QString& path) const {
    if (path.compare(m_settings.basePath + QLatin1String("M6KVX/login.asp"), Qt::CaseInsensitive) ==
        0)
        return Page::Login;
    if (path.compare(m_settings.basePath + QLatin1String("M6Kvx/import.asp"),
                     Qt::CaseInsensitive) == 0)
        return Page::Import;
    return Page::None;
}

std::optional<ExchangeReply> ExchangeHttpServer::injectedFault() {
    ++m_importRequests;
    if (m_settings.failEvery > 0 && m_importRequests % m_settings.failEvery == 0) {
        return ExchangeReply::text(
            m_settings.failStatus,
            QStringLiteral("故障测试：应答状态%1。").arg(m_settings.failStatus));
    }
    if (m_settings.garbageEvery > 0 && m_importRequests % m_settings.garbageEvery == 0) {
        ExchangeReply garbage =
            ExchangeReply::text(200, QStringLiteral("故障测试：这不是XML文档 <"));
        garbage.summary.outcome = QStringLiteral("fault: not XML");
        return garbage;
    }
    return std::nullopt;
}

ExchangeReply ExchangeHttpServer::answer(const QHttpServerRequest& request, Page page) {
    if (page == Page::None)
        return ExchangeReply::text(404, QStringLiteral("找不到页面：%1").arg(request.url().path()));
    if (request.method() != QHttpServerRequest::Method::Post)
        return ExchangeReply::text(405, QStringLiteral("此页面只接受POST请求。"));
    if (page == Page::Login)
        return m_service.login(request.body());
    if (auto fault = injectedFault())
        return *fault;
    return m_service.exchange(request.body());
}

bool ExchangeHttpServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const ExchangeReply reply = answer(request, pageOf(request.url().path()));
    m_log(reply.logLine(QDateTime::currentDateTime(), request.url().path()));
    respond(request, socket, reply);
    return true;
}

void ExchangeHttpServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    respond(request, socket, answer(request, Page::None));
}

void ExchangeHttpServer::respond(const QHttpServerRequest& request, QTcpSocket* socket,
                                 const ExchangeReply& reply) {
    const bool headOnly = request.method() == QHttpServerRequest::Method::Head;
    if (m_settings.delayMs <= 0) {
        QHttpServerResponder responder = makeResponder(request, socket);
        write(responder, reply, headOnly);
        return;
    }
    // Answer late without blocking other connections; a client that gave up meanwhile has
    // taken its socket with it.
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    QTimer::singleShot(m_settings.delayMs, this,
                       [responder, reply, headOnly, guard = QPointer<QTcpSocket>(socket)] {
                           if (guard && guard->state() == QAbstractSocket::ConnectedState)
                               write(*responder, reply, headOnly);
                       });
}

} // namespace kvx
