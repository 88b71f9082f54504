#pragma once

#include "platform/http_client.h"
#include "platform/xml/xml_document.h"
#include "server/exchange_http_server.h"
#include "server/exchange_service.h"
#include "server/store_database.h"
#include "test_services.h"

#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

namespace kvx::test {

// A reference server in the test's own event loop, on 127.0.0.1 with a fresh SQLite store
// in a temporary folder. Test access: operators "demo"/"demo" with every right,
// "viewer"/"viewer" with the right to execute only, "clerk"/"clerk" with the right to
// configure only; sender codes "001" and "002", and "009" disabled. Or the demo data.
class ServerFixture {
public:
    enum class Content { TestAccess, DemoData };

    explicit ServerFixture(HttpSettings settings = {}, Content content = Content::TestAccess);

    ExchangeService& service() { return *m_service; }
    QString baseUrl() const;
    quint16 port() const { return m_port; }
    const QStringList& log() const { return m_log; }

    HttpResult post(const QString& page, const QByteArray& body);
    HttpResult login(const QByteArray& body) {
        return post(QStringLiteral("M6KVX/login.asp"), body);
    }
    HttpResult exchange(const QByteArray& body) {
        return post(QStringLiteral("M6Kvx/import.asp"), body);
    }
    // Posts to the import page and parses the answer; a null document unless 200 and XML.
    XmlDocument exchangeDocument(const QByteArray& body);

private:
    void addTestAccess();

    QTemporaryDir m_dir;
    StoreDatabase m_store;
    std::unique_ptr<ExchangeService> m_service;
    std::unique_ptr<ExchangeHttpServer> m_server;
    quint16 m_port = 0;
    HttpClient m_http;
    QStringList m_log;
};

// A connection that sends its bytes as they stand, for requests an HTTP client would not send,
// and collects what comes back while the test's event loop runs.
class RawConnection {
public:
    RawConnection(quint16 port, const QByteArray& request);

    // Until the answer is complete (by its Content-Length; a HEAD answer at its blank line) or
    // the server closes; false when neither happens in time.
    bool wait(int timeoutMs = 10000);
    int status() const; // 0 before an answer
    QByteArray body() const;

private:
    bool complete() const;

    QTcpSocket m_socket;
    bool m_head;
    QByteArray m_received;
    bool m_closed = false;
};

struct Credentials {
    QString user = QStringLiteral("demo");
    QString password = QStringLiteral("demo");
};

// Documents as the console builds them, declared gb2312.
QByteArray loginRequest(const QString& user = QStringLiteral("demo"),
                        const QString& password = QStringLiteral("demo"),
                        const QString& sender = QStringLiteral("001"));

// An interface document with the given records (XML text of record elements), completed
// with proc, sender, further root attributes ("name='value' ...") and opinfo.
QByteArray importDocument(const QString& roottag, const QString& proc, const QString& records,
                          const QString& extraAttributes = {},
                          const QString& sender = QStringLiteral("001"),
                          const Credentials& credentials = {});

// A query envelope with an optional condition item (its `field` elements as XML text).
QByteArray queryEnvelope(const QString& roottag, const QString& fields = {},
                         const QString& sender = QStringLiteral("001"),
                         const QString& exportNeedExch = QStringLiteral("n"),
                         const Credentials& credentials = {});

// "succeed key dsc" of every `item` of a result document.
QStringList outcomes(const XmlDocument& result);

// The keys (by the "code" child) of the records in a data document, in order.
QStringList recordKeys(const XmlDocument& data, const QString& roottag);

} // namespace kvx::test
