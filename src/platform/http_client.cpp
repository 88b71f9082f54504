#include "platform/http_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstring>

namespace kvx {

namespace {

// The request body as a device that can be read only once. Qt's HTTP layer sends a request
// again by itself when the connection closes before the answer; for a POST the server may
// already have carried out, that would import the records twice. A body that cannot be
// rewound makes such a second sending fail instead, and the request counts as unanswered.
class OneShotBody : public QIODevice {
public:
    explicit OneShotBody(QByteArray bytes)
        : m_bytes(std::move(bytes)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return m_bytes.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 count = std::min(maxSize, m_bytes.size() - m_position);
        std::memcpy(data, m_bytes.constData() + m_position, size_t(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

} // namespace

HttpClient::HttpClient()
    : m_manager(new QNetworkAccessManager)
    , m_loginTimeoutMs(qint64(defaultTimeoutSeconds(Limit::Login)) * 1000)
    , m_runTimeoutMs(qint64(defaultTimeoutSeconds(Limit::Run)) * 1000) {}

HttpClient::~HttpClient() {
    delete m_manager;
}

int HttpClient::defaultTimeoutSeconds(Limit limit) {
    const bool login = limit == Limit::Login;
    bool ok = false;
    const int fromEnv =
        qEnvironmentVariableIntValue(login ? "KVX_HTTP_TIMEOUT" : "KVX_RUN_TIMEOUT", &ok);
    if (ok && fromEnv > 0)
        return fromEnv;
    return login ? 120 : 3600;
}

qint64 HttpClient::timeoutMilliseconds(Limit limit) const {
    return limit == Limit::Login ? m_loginTimeoutMs : m_runTimeoutMs;
}

void HttpClient::setTimeoutMilliseconds(Limit limit, qint64 ms) {
    (limit == Limit::Login ? m_loginTimeoutMs : m_runTimeoutMs) = ms;
}

void HttpClient::setTimeoutMilliseconds(qint64 ms) {
    m_loginTimeoutMs = ms;
    m_runTimeoutMs = ms;
}

bool HttpClient::isRequestableUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

HttpResult HttpClient::post(const QString& url, const QByteArray& body, Limit limit,
                            const HttpWatch& watch) {
    HttpResult result;
    if (!isRequestableUrl(url)) {
        result.outcome = HttpResult::Outcome::BadUrl;
        result.error = QStringLiteral("地址无效：%1").arg(url);
        return result;
    }
    QNetworkRequest request{QUrl(url, QUrl::StrictMode)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    // A fresh connection for every request: one the server closed while it lay idle would
    // fail the request, which may not be sent again.
    request.setRawHeader("Connection", "close");
    auto* device = new OneShotBody(body);
    QNetworkReply* reply = m_manager->post(request, device);
    device->setParent(reply);
    // Whether the server may have the request: any of its bytes written to a connection.
    QObject::connect(reply, &QNetworkReply::requestSent, reply,
                     [&result] { result.requestSent = true; });
    QElapsedTimer clock;
    clock.start();
    HttpProgress progress;
    progress.total = body.size();
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply,
                     [&result, &progress, &clock](qint64 sent, qint64) {
                         result.requestSent = result.requestSent || sent > 0;
                         progress.sent = std::max(progress.sent, sent);
                         if (progress.sent >= progress.total && progress.sentAtMs < 0)
                             progress.sentAtMs = clock.elapsed();
                     });

    // Poll: wake on the reply or every 50 ms to look at the cancel hook and the clock.
    const qint64 timeoutMs = timeoutMilliseconds(limit);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(50);
    while (!reply->isFinished()) {
        if (watch.waiting) {
            progress.waitedMs = clock.elapsed();
            watch.waiting(progress);
        }
        if (watch.cancelRequested && watch.cancelRequested()) {
            result.outcome = HttpResult::Outcome::Cancelled;
            break;
        }
        if (clock.elapsed() >= timeoutMs) {
            result.outcome = HttpResult::Outcome::TimedOut;
            result.error = QStringLiteral("等待服务器应答超时");
            break;
        }
        loop.exec();
    }
    if (reply->isFinished()) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            result.outcome = HttpResult::Outcome::Completed;
            result.requestSent = true;
            result.status = status.toInt();
            result.body = reply->readAll();
        } else {
            result.outcome = HttpResult::Outcome::Failed;
            result.error = reply->errorString();
        }
    } else {
        reply->abort();
    }
    // The flag's signals must not reach `result` once it has been returned.
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    reply->deleteLater();
    return result;
}

} // namespace kvx
