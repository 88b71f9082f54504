#include "runs/request_progress.h"

#include "platform/http_request.h"

namespace kvx {

namespace {

// An estimate from the first few milliseconds of sending would jump about.
constexpr qint64 kEstimateAfterMs = 500;

int wholeSeconds(qint64 ms) {
    return int(ms / 1000);
}

} // namespace

RequestProgress RequestProgress::of(const HttpProgress& progress) {
    RequestProgress shown;
    shown.waitedSeconds = wholeSeconds(progress.waitedMs);
    shown.followsSending = progress.total > kFollowedBytes;
    if (!shown.followsSending)
        return shown;
    if (progress.sentAtMs >= 0) {
        shown.percentSent = 100;
        shown.serverSeconds = wholeSeconds(progress.waitedMs - progress.sentAtMs);
        return shown;
    }
    shown.percentSent = int(progress.sent * 100 / progress.total);
    if (progress.sent > 0 && progress.waitedMs >= kEstimateAfterMs) {
        // At the pace so far; rounded up, so that "0 seconds left" is never shown too early.
        const qint64 leftMs = progress.waitedMs * (progress.total - progress.sent) / progress.sent;
        shown.secondsLeft = int((leftMs + 999) / 1000);
    }
    return shown;
}

} // namespace kvx
