#pragma once

#include "platform/http_request.h"

#include <QByteArray>
#include <QString>

class QNetworkAccessManager;

namespace kvx {

// POST of a document's bytes, answered by the event loop while the caller goes on: the request
// object reports its progress and its end. Each request waits at most its limit: the login's
// is short, so that a dead server is soon reported; a run's is long, because a large import
// may keep the server busy for a long time and giving up early would leave the operator
// guessing whether it went in.
class HttpClient {
public:
    enum class Limit {
        Login, // KVX_HTTP_TIMEOUT seconds, default 120
        Run    // requests of import and export runs: KVX_RUN_TIMEOUT seconds, default 3600
    };

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The limit from the environment, in seconds.
    static int defaultTimeoutSeconds(Limit limit);
    qint64 timeoutMilliseconds(Limit limit) const;
    void setTimeoutMilliseconds(Limit limit, qint64 ms);
    // Both limits at once.
    void setTimeoutMilliseconds(qint64 ms);
    void setTimeoutSeconds(int seconds) { setTimeoutMilliseconds(qint64(seconds) * 1000); }

    static bool isRequestableUrl(const QString& url);

    // Starts the request; it ends, from the event loop, within the limit. It is the client's
    // until it has ended and deletes itself then.
    HttpRequest* post(const QString& url, const QByteArray& body, Limit limit);

private:
    QNetworkAccessManager* m_manager;
    qint64 m_loginTimeoutMs;
    qint64 m_runTimeoutMs;
};

} // namespace kvx
