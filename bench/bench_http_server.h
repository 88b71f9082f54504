#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// An exchange server stand-in for benchmarks: reads each POST body to its end without
// keeping it and answers the same bytes every time, so that timings show the client.
class BenchHttpServer : public QObject {
    Q_OBJECT
public:
    explicit BenchHttpServer(QByteArray answer, QObject* parent = nullptr);
    // The bound port on 127.0.0.1; 0 when listening failed.
    quint16 listen();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);

    // Per connection: the header read so far, then the body bytes still to come.
    struct Reception {
        QByteArray header;
        qint64 remaining = -1;
        bool answered = false;
    };

    QTcpServer* m_server;
    QByteArray m_answer;
    QHash<QTcpSocket*, Reception> m_receptions;
};
