#include "platform/http_request.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <limits>

namespace kvx {

namespace {

constexpr int kTickMs = 50;

} // namespace

HttpRequest::HttpRequest(QNetworkReply* reply, qint64 bodySize, qint64 limitMs,
                         const QString& badUrl, QObject* parent)
    : QObject(parent)
    , m_reply(reply) {
    m_clock.start();
    m_progress.total = bodySize;
    if (!reply) {
        end(HttpResult::Outcome::BadUrl, badUrl);
        return;
    }
    reply->setParent(this);
    // Whether the server may have the request: any of its bytes written to a connection.
    connect(reply, &QNetworkReply::requestSent, this, [this] { m_result.requestSent = true; });
    connect(reply, &QNetworkReply::uploadProgress, this,
            [this](qint64 sent, qint64) { onUploadProgress(sent); });
    connect(reply, &QNetworkReply::finished, this, &HttpRequest::onReplyFinished);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        m_progress.waitedMs = m_clock.elapsed();
        Q_EMIT waiting(m_progress);
    });
    m_tick.start(kTickMs);
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this,
            [this] { end(HttpResult::Outcome::TimedOut, QStringLiteral("等待服务器应答超时")); });
    m_limit.start(int(std::clamp<qint64>(limitMs, 0, std::numeric_limits<int>::max())));
}

HttpRequest::~HttpRequest() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void HttpRequest::cancel() {
    end(HttpResult::Outcome::Cancelled);
}

void HttpRequest::onUploadProgress(qint64 sent) {
    m_result.requestSent = m_result.requestSent || sent > 0;
    m_progress.sent = std::max(m_progress.sent, sent);
    if (m_progress.sent >= m_progress.total && m_progress.sentAtMs < 0)
        m_progress.sentAtMs = m_clock.elapsed();
}

void HttpRequest::onReplyFinished() {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        end(HttpResult::Outcome::Failed, m_reply->errorString());
        return;
    }
    m_result.requestSent = true;
    m_result.status = status.toInt();
    m_result.body = m_reply->readAll();
    end(HttpResult::Outcome::Completed);
}

void HttpRequest::end(HttpResult::Outcome outcome, const QString& error) {
    if (m_ended)
        return;
    m_ended = true;
    m_result.outcome = outcome;
    m_result.error = error;
    m_tick.stop();
    m_limit.stop();
    if (m_reply) {
        // Its signals must not reach the result any more; an unfinished one is dropped.
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
        m_reply->deleteLater();
    }
    // Never inside the caller's own call (a cancel, or the request to a bad address): the end
    // comes from the event loop.
    QMetaObject::invokeMethod(this, &HttpRequest::announceEnd, Qt::QueuedConnection);
}

void HttpRequest::announceEnd() {
    Q_EMIT finished(m_result);
    deleteLater();
}

} // namespace kvx
