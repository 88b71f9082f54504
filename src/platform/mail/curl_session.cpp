#include "platform/mail/curl_session.h"

#include <QCoreApplication>
#include <cstring>
#include <curl/curl.h>

namespace kvx {

namespace {

constexpr long kConnectSeconds = 30;
// A transfer that moves nothing for this long has stalled.
constexpr long kStallSeconds = 120;
constexpr int kPollMilliseconds = 50;

void initializeCurl() {
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialized);
}

} // namespace

CurlSession::CurlSession() {
    initializeCurl();
    m_multi = curl_multi_init();
    m_easy = curl_easy_init();
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlSession::write);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &CurlSession::read);
    curl_easy_setopt(m_easy, CURLOPT_READDATA, this);
}

CurlSession::~CurlSession() {
    curl_easy_cleanup(m_easy);
    curl_multi_cleanup(m_multi);
}

size_t CurlSession::write(char* data, size_t size, size_t count, void* self) {
    static_cast<CurlSession*>(self)->m_received.append(data, qsizetype(size * count));
    return size * count;
}

size_t CurlSession::read(char* buffer, size_t size, size_t count, void* self) {
    auto* session = static_cast<CurlSession*>(self);
    const size_t left = size_t(session->m_upload.size() - session->m_uploaded);
    const size_t length = std::min(left, size * count);
    std::memcpy(buffer, session->m_upload.constData() + session->m_uploaded, length);
    session->m_uploaded += qsizetype(length);
    return length;
}

void CurlSession::setUpload(const QByteArray& bytes) {
    m_upload = bytes;
    m_uploaded = 0;
    curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(bytes.size()));
}

bool CurlSession::perform(QString* error) {
    m_received.clear();
    m_errorText[0] = '\0';
    curl_multi_add_handle(m_multi, m_easy);
    int running = 1;
    CURLMcode state = curl_multi_perform(m_multi, &running);
    while (state == CURLM_OK && running > 0) {
        state = curl_multi_poll(m_multi, nullptr, 0, kPollMilliseconds, nullptr);
        QCoreApplication::processEvents();
        if (state == CURLM_OK)
            state = curl_multi_perform(m_multi, &running);
    }
    CURLcode result = CURLE_OK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    }
    curl_multi_remove_handle(m_multi, m_easy);
    if (state != CURLM_OK) {
        *error = QString::fromUtf8(curl_multi_strerror(state));
        return false;
    }
    if (result != CURLE_OK) {
        *error = QString::fromUtf8(m_errorText[0] ? m_errorText : curl_easy_strerror(result));
        return false;
    }
    return true;
}

} // namespace kvx
