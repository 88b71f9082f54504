#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkReply;

namespace kvx {

struct HttpResult {
    enum class Outcome {
        Completed, // the server answered (any status)
        Failed,    // refused, unreachable, or the connection dropped before an answer
        TimedOut,  // no answer within the limit
        Cancelled, // the caller dropped the request while it waited
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

// One POST under way. It reports where it stands about every 50 ms while it waits and ends
// exactly once, from the event loop: with the server's answer, a failure, at its limit or when
// the caller drops it. It then deletes itself, so a caller keeps it in a QPointer and ties its
// signals to an object of its own, which ends the connection when that object goes first.
class HttpRequest : public QObject {
    Q_OBJECT
public:
    // Starts at once; `reply` is null when the address cannot be requested.
    HttpRequest(QNetworkReply* reply, qint64 bodySize, qint64 limitMs, const QString& badUrl,
                QObject* parent);
    ~HttpRequest() override;

    // Drops the request unless it has ended already: it ends as cancelled, and whether its
    // bytes went out says whether the server may have it.
    void cancel();

Q_SIGNALS:
    void waiting(const HttpProgress& progress);
    void finished(const HttpResult& result);

private:
    void onUploadProgress(qint64 sent);
    void onReplyFinished();
    // Stops the clocks and lets go of the reply; the end is announced from the event loop.
    void end(HttpResult::Outcome outcome, const QString& error = {});
    void announceEnd();

    QPointer<QNetworkReply> m_reply;
    QElapsedTimer m_clock;
    QTimer m_tick;
    QTimer m_limit;
    HttpProgress m_progress;
    HttpResult m_result;
    bool m_ended = false;
};

} // namespace kvx
