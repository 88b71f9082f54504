#pragma once

#include "server/exchange_reply.h"
#include "server/http_settings.h"

#include <QAbstractHttpServer>
#include <functional>

class QHttpServerResponder;

namespace kvx {

class ExchangeService;

// The exchange pages over HTTP: POST to "M6KVX/login.asp" and "M6Kvx/import.asp" below
// the base path, compared without regard to letter case (the console spells the folder
// both ways). Every request comes through one handler, which matches the path itself:
// other paths get 404, other methods 405; a HEAD request gets the headers alone. Each
// connection is guarded (ConnectionGuard), so that requests over the limits are refused
// before their body is read. One log line per request goes to the log sink (stderr unless
// set).
class ExchangeHttpServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    using LogSink = std::function<void(const QString&)>;

    ExchangeHttpServer(ExchangeService& service, HttpSettings settings, QObject* parent = nullptr);

    void setLogSink(LogSink sink) { m_log = std::move(sink); }

    // Listens with every connection guarded; the bound port, or 0 when the address cannot be
    // bound. (Hides the base class's listen, which would not guard.)
    quint16 listen(const QHostAddress& address, quint16 port);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    enum class Page { None, Login, Import };

    Page pageOf(const QString& path) const;
    ExchangeReply answer(const QHttpServerRequest& request, Page page);
    std::optional<ExchangeReply> injectedFault();
    void respond(const QHttpServerRequest& request, QTcpSocket* socket, const ExchangeReply& reply);

    ExchangeService& m_service;
    HttpSettings m_settings;
    LogSink m_log;
    int m_importRequests = 0;
};

} // namespace kvx
