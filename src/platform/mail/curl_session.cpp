#include "platform/mail/curl_session.h"

#include <QHash>
#include <cstring>
#include <curl/curl.h>

namespace kvx {

namespace {

constexpr long kConnectSeconds = 30;

void initializeCurl() {
    static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(initialized);
}

} // namespace

CurlSession::CurlSession(const std::atomic_bool* cancel)
    : m_cancel(cancel) {
    initializeCurl();
    m_easy = curl_easy_init();
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, long(kStallSeconds));
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlSession::write);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &CurlSession::read);
    curl_easy_setopt(m_easy, CURLOPT_READDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFOFUNCTION, &CurlSession::progress);
    curl_easy_setopt(m_easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(m_easy, CURLOPT_NOPROGRESS, 0L);
}

CurlSession::~CurlSession() {
    curl_easy_cleanup(m_easy);
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

int CurlSession::progress(void* self, long long, long long, long long, long long uploaded) {
    const auto* session = static_cast<CurlSession*>(self);
    return session->m_cancel && *session->m_cancel && uploaded == 0 && session->m_uploaded == 0;
}

void CurlSession::setUpload(const QByteArray& bytes) {
    m_upload = bytes;
    m_uploaded = 0;
    curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(bytes.size()));
}

QString CurlSession::errorText(int code) const {
    // What an operator can act on, in Chinese, with libcurl's own words for whoever helps.
    static const QHash<int, QString> plain = {
        {CURLE_COULDNT_RESOLVE_HOST, QStringLiteral("找不到邮件服务器")},
        {CURLE_COULDNT_CONNECT, QStringLiteral("无法连接邮件服务器")},
        {CURLE_OPERATION_TIMEDOUT, QStringLiteral("邮件服务器没有回答")},
        {CURLE_LOGIN_DENIED, QStringLiteral("邮件服务器拒绝登录，用户名或密码不对")},
        {CURLE_PEER_FAILED_VERIFICATION, QStringLiteral("邮件服务器的证书不受信任")},
        {CURLE_SSL_CONNECT_ERROR, QStringLiteral("无法与邮件服务器建立加密连接")},
        {CURLE_USE_SSL_FAILED, QStringLiteral("邮件服务器不提供加密连接")}};
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return QStringLiteral("已取消");
    const QString detail = QString::fromUtf8(
        m_errorText[0] ? m_errorText : curl_easy_strerror(static_cast<CURLcode>(code)));
    const auto known = plain.find(code);
    return known == plain.end() ? detail
                                : *known + QStringLiteral("（") + detail + QStringLiteral("）");
}

bool CurlSession::perform(QString* error) {
    m_received.clear();
    m_errorText[0] = '\0';
    const CURLcode result = curl_easy_perform(m_easy);
    if (result == CURLE_OK)
        return true;
    *error = errorText(result);
    return false;
}

} // namespace kvx
