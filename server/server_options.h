#pragma once

#include "server/http_settings.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace kvx {

// The command line of kvx-exchange-server.
struct ServerOptions {
    enum class Outcome { Run, Help, Error };

    static constexpr quint16 kDefaultPort = 8765;

    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = kDefaultPort;
    QString dataPath = QStringLiteral("kvx-exchange.sqlite");
    bool demo = false;
    int commitDelayMs = 0;
    HttpSettings http;

    // Fills the options from the arguments (program name first). Help and errors leave
    // the text to print in *message.
    static Outcome parse(const QStringList& arguments, ServerOptions& options, QString* message);

    // "http://HOST:PORT/base/"
    QString baseUrl(quint16 boundPort) const;
};

} // namespace kvx
