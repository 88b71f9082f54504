#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QNetworkAccessManager;

namespace kvx {

struct HttpResult {
    enum class Outcome {
        Completed, // the server answered (any status)
        Failed,    // refused, unreachable, or the connection dropped before an answer
        TimedOut,  // no answer within the limit
        Cancelled, // the caller's cancel hook said stop while waiting
        BadUrl     // the address cannot be requested at all
    };
    Outcome outcome = Outcome::Failed;
    // True once the request's bytes went out on a connection. A request that then got no
    // answer (dropped, timed out, cancelled) may still have been carried out by the server;
    // one that was never sent was not.
    bool requestSent = false;
    int status = 0;
    QByteArray body;
    QString error;

    bool answered() const { return outcome == Outcome::Completed; }
    bool ok() const { return answered() && status == 200; }
    // Sent, but what the server made of it is not known.
    bool unanswered() const { return requestSent && !answered(); }
};

// Where a request stands while its caller waits.
struct HttpProgress {
    qint64 waitedMs = 0;  // since the request started
    qint64 sent = 0;      // bytes of the body written to the connection so far
    qint64 total = 0;     // the body's size
    qint64 sentAtMs = -1; // when its last byte went out; -1 while it is being sent
};

// What the caller of a request does while it waits, on every pass of the poll (about every
// 50 ms).
struct HttpWatch {
    std::function<bool()> cancelRequested;
    std::function<void(const HttpProgress&)> waiting;
};

// POST of a document's bytes, polled to completion while the event loop keeps the windows
// responsive. Each request waits at most its limit: the login's is short, so that a dead
// server is soon reported; a run's is long, because a large import may keep the server busy
// for a long time and giving up early would leave the operator guessing whether it went in.
class HttpClient {
public:
    using CancelCheck = std::function<bool()>;
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

    HttpResult post(const QString& url, const QByteArray& body, Limit limit,
                    const HttpWatch& watch = {});
    // A request within the login's limit.
    HttpResult post(const QString& url, const QByteArray& body,
                    const CancelCheck& cancelRequested = {}) {
        return post(url, body, Limit::Login, {cancelRequested, {}});
    }

private:
    QNetworkAccessManager* m_manager;
    qint64 m_loginTimeoutMs;
    qint64 m_runTimeoutMs;
};

} // namespace kvx
