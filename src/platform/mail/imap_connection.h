#pragma once

#include "platform/mail/curl_session.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace kvx {

// One IMAP session. libcurl connects, secures the connection and logs in; the commands are
// then spoken here, so that every literal (a message's text, a header) is read exactly as
// long as the server announced it, and a message's text goes to a file as it arrives instead
// of into memory. Every call blocks until the server has answered: it runs on a worker thread.
class ImapConnection {
public:
    struct Response {
        QByteArray text;            // the untagged response after "* ", literals marked "{n}"
        QList<QByteArray> literals; // their contents in order, but for a body given to a file
    };

    explicit ImapConnection(const std::atomic_bool* cancel = nullptr);

    // The connection's libcurl handle, for the TLS, certificate and login options.
    CURL* handle() const { return m_session.handle(); }
    // Connects, secures and logs in: "imap://host:port" or "imaps://host:port".
    bool open(const QByteArray& url, QString* error);
    // Sends one command and reads every response up to its completion; the untagged ones are
    // added to `responses`. The text of a "BODY[]" item is written to `body` when one is given.
    // Only a command marked `cancellable` stops when the transfer is cancelled: one that
    // changes the mailbox is always read to its end, so it is known whether it took effect.
    bool command(const QByteArray& command, QList<Response>* responses, QString* error,
                 QIODevice* body = nullptr, bool cancellable = false);

private:
    bool sendAll(const QByteArray& bytes, QString* error);
    bool readResponse(Response* response, QIODevice* body, bool cancellable, QString* error);
    bool readLine(QByteArray* line, bool cancellable, QString* error);
    bool readLiteral(qint64 length, QByteArray* into, QIODevice* body, bool cancellable,
                     QString* error);
    // Waits until at least one more byte stands in the buffer.
    bool fill(bool cancellable, QString* error);
    bool waitForSocket(bool forWriting, bool cancellable, QString* error);

    CurlSession m_session;
    const std::atomic_bool* m_cancel;
    QByteArray m_buffer;
    int m_commands = 0;
};

} // namespace kvx
