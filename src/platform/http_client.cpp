#include "platform/http_client.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
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

HttpRequest* HttpClient::post(const QString& url, const QByteArray& body, Limit limit) {
    if (!isRequestableUrl(url))
        return new HttpRequest(nullptr, body.size(), 0, QStringLiteral("地址无效：%1").arg(url),
                               m_manager);
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
    return new HttpRequest(reply, body.size(), timeoutMilliseconds(limit), {}, m_manager);
}

} // namespace kvx
