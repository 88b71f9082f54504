#pragma once

#include <QString>

namespace kvx {

// How the HTTP side of the server behaves, including the faults it can be told to make.
struct HttpSettings {
    // The pages live below this path ("/" or "/kvx/").
    QString basePath = QStringLiteral("/");
    // Requests are refused before their body is read when the body declared is larger, or
    // when the request line and headers are.
    qint64 maxBodyBytes = qint64(256) * 1024 * 1024;
    qint64 maxHeaderBytes = 64 * 1024;
    // A connection that sends nothing for this long is closed.
    int idleTimeoutMs = 60 * 1000;
    // Fault tests: answer every request this late.
    int delayMs = 0;
    // Fault tests: answer failStatus to every failEvery-th request to the import page,
    // without doing its work.
    int failStatus = 0;
    int failEvery = 0;
    // Fault tests: answer a text that is not XML to every garbageEvery-th request to the
    // import page, without doing its work.
    int garbageEvery = 0;

    // The base path with one leading and one trailing "/".
    QString normalizedBasePath() const {
        QString path = basePath.trimmed();
        if (!path.startsWith(QLatin1Char('/')))
            path.prepend(QLatin1Char('/'));
        if (!path.endsWith(QLatin1Char('/')))
            path.append(QLatin1Char('/'));
        return path;
    }
};

} // namespace kvx
