#pragma once

#include <QByteArray>
#include <QString>

typedef void CURL;
typedef void CURLM;

namespace kvx {

// One libcurl connection for the mail protocols. Requests run on the window system's thread:
// while one waits for the server, pending window events are processed, so the windows stay
// responsive. A stalled connection fails instead of hanging the console.
class CurlSession {
public:
    CurlSession();
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

private:
    static size_t write(char* data, size_t size, size_t count, void* self);
    static size_t read(char* buffer, size_t size, size_t count, void* self);

    CURLM* m_multi;
    CURL* m_easy;
    QByteArray m_received;
    QByteArray m_upload;
    qsizetype m_uploaded = 0;
    char m_errorText[256] = {};
};

} // namespace kvx
