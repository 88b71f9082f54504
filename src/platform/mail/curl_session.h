#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>

typedef void CURL;

namespace kvx {

// One libcurl connection for the mail protocols. A request blocks until the server has
// answered, so it runs on a worker thread, never on a window's. A stalled connection fails
// instead of hanging; a cancelled one stops only while nothing of the upload has been sent,
// so a mail is either sent whole or known not to be sent.
class CurlSession {
public:
    // `cancel`, when given, is raised by another thread to stop the request.
    explicit CurlSession(const std::atomic_bool* cancel = nullptr);
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    // The easy handle, for the caller's options. Requests on it reuse its connection.
    CURL* handle() const { return m_easy; }
    // Sets the upload of an SMTP request.
    void setUpload(const QByteArray& bytes);
    // Runs the request; what the server sent back is in received(). False with the reason.
    bool perform(QString* error);
    const QByteArray& received() const { return m_received; }
    // The reason of a failed libcurl call.
    QString errorText(int code) const;

    // How long a connection may go without moving a byte before it counts as stalled.
    static constexpr int kStallSeconds = 120;

private:
    static size_t write(char* data, size_t size, size_t count, void* self);
    static size_t read(char* buffer, size_t size, size_t count, void* self);
    static int progress(void* self, long long, long long, long long, long long uploaded);

    CURL* m_easy;
    const std::atomic_bool* m_cancel;
    QByteArray m_received;
    QByteArray m_upload;
    qsizetype m_uploaded = 0;
    char m_errorText[256] = {};
};

} // namespace kvx
