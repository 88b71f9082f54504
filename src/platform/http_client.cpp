#include "platform/http_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace kvx {

HttpClient::HttpClient()
    : m_manager(new QNetworkAccessManager)
    , m_timeoutMs(qint64(defaultTimeoutSeconds()) * 1000) {}

HttpClient::~HttpClient() {
    delete m_manager;
}

int HttpClient::defaultTimeoutSeconds() {
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("KVX_HTTP_TIMEOUT", &ok);
    return ok && fromEnv > 0 ? fromEnv : 120;
}

bool HttpClient::isRequestableUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

HttpResult HttpClient::post(const QString& url, const QByteArray& body,
                            const CancelCheck& cancelRequested) {
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
    QNetworkReply* reply = m_manager->post(request, body);

    // Poll: wake on the reply or every 50 ms to look at the cancel hook and the clock.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(50);
    while (!reply->isFinished()) {
        if (cancelRequested && cancelRequested()) {
            result.outcome = HttpResult::Outcome::Cancelled;
            break;
        }
        if (clock.elapsed() >= m_timeoutMs) {
            result.outcome = HttpResult::Outcome::Failed;
            result.error = QStringLiteral("等待服务器应答超时");
            break;
        }
        loop.exec();
    }
    if (reply->isFinished()) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            result.outcome = HttpResult::Outcome::Completed;
            result.status = status.toInt();
            result.body = reply->readAll();
        } else {
            result.outcome = HttpResult::Outcome::Failed;
            result.error = reply->errorString();
        }
        reply->deleteLater();
    } else {
        reply->abort();
        reply->deleteLater();
    }
    return result;
}

} // namespace kvx
