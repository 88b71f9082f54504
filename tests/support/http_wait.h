#pragma once

#include "platform/http_client.h"

#include <QEventLoop>

namespace kvx::test {

// The request's result, waited for while the test's event loop runs: servers in the test's own
// process answer meanwhile.
inline HttpResult waitFor(HttpRequest* request) {
    HttpResult result;
    QEventLoop loop;
    QObject::connect(request, &HttpRequest::finished, &loop, [&](const HttpResult& ended) {
        result = ended;
        loop.quit();
    });
    loop.exec();
    return result;
}

inline HttpResult postAndWait(HttpClient& http, const QString& url, const QByteArray& body,
                              HttpClient::Limit limit = HttpClient::Limit::Login) {
    return waitFor(http.post(url, body, limit));
}

} // namespace kvx::test
