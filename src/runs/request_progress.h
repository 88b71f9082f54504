#pragma once

#include <QtGlobal>

namespace kvx {

struct HttpProgress;

// Where the current item's request stands, as the progress display shows it. The sending of a
// document larger than 1 MB is followed: the share sent and, while it goes out, an estimate of
// the time left; once it is sent, how long the server has been working on it. A smaller
// document goes out at once, so only the time waited for the answer is shown.
struct RequestProgress {
    static constexpr qint64 kFollowedBytes = 1024 * 1024;

    int waitedSeconds = 0; // since the request started
    bool followsSending = false;
    int percentSent = 0;
    int secondsLeft = -1;   // while sending; -1 until an estimate can be made
    int serverSeconds = -1; // after sending; -1 while sending

    static RequestProgress of(const HttpProgress& progress);
};

} // namespace kvx
