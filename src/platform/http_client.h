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
        Failed,    // refused, unreachable, timed out: no answer
        Cancelled, // the caller's cancel hook said stop while waiting
        BadUrl     // the address cannot be requested at all
    };
    Outcome outcome = Outcome::Failed;
    int status = 0;
    QByteArray body;
    QString error;

    bool answered() const { return outcome == Outcome::Completed; }
    bool ok() const { return answered() && status == 200; }
};

// POST of a document's bytes, polled to completion while the event loop keeps the windows
// responsive. A request that takes longer than the timeout fails like an unreachable server.
class HttpClient {
public:
    using CancelCheck = std::function<bool()>;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Seconds; KVX_HTTP_TIMEOUT overrides the default of 120.
    static int defaultTimeoutSeconds();
    void setTimeoutSeconds(int seconds) { m_timeoutMs = qint64(seconds) * 1000; }
    void setTimeoutMilliseconds(qint64 ms) { m_timeoutMs = ms; }

    static bool isRequestableUrl(const QString& url);

    HttpResult post(const QString& url, const QByteArray& body,
                    const CancelCheck& cancelRequested = {});

private:
    QNetworkAccessManager* m_manager;
    qint64 m_timeoutMs;
};

} // namespace kvx
