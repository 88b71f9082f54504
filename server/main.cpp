#include "platform/clock.h"
#include "platform/xml/xml_document.h"
#include "server/demo_seed.h"
#include "server/exchange_http_server.h"
#include "server/exchange_service.h"
#include "server/server_options.h"
#include "server/store_database.h"

#include <QCoreApplication>
#include <cstdio>

using namespace kvx;

namespace {

void print(std::FILE* stream, const QString& text) {
    std::fputs(
        (text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')).toUtf8().constData(),
        stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();

    ServerOptions options;
    QString message;
    switch (ServerOptions::parse(app.arguments(), options, &message)) {
    case ServerOptions::Outcome::Help:
        print(stdout, message);
        return 0;
    case ServerOptions::Outcome::Error:
        print(stderr, message);
        return 2;
    case ServerOptions::Outcome::Run:
        break;
    }

    StoreDatabase store;
    QString error;
    if (!store.open(options.dataPath, &error)) {
        print(stderr, QStringLiteral("cannot open the store %1: %2").arg(options.dataPath, error));
        return 1;
    }
    if (options.demo && store.isEmpty()) {
        if (!seedDemoData(store, SystemClock().today(), &error)) {
            print(stderr, QStringLiteral("cannot seed the demo data: %1").arg(error));
            return 1;
        }
        print(stderr, QStringLiteral("demo data seeded into %1").arg(options.dataPath));
    }

    ExchangeService service(store);
    service.importer().setCommitDelayMs(options.commitDelayMs);
    ExchangeHttpServer server(service, options.http);
    const quint16 port = server.listen(options.address, options.port);
    if (port == 0) {
        print(stderr, QStringLiteral("cannot listen on %1:%2")
                          .arg(options.address.toString())
                          .arg(options.port));
        return 1;
    }
    print(stdout, QStringLiteral("listening on %1").arg(options.baseUrl(port)));
    return app.exec();
}
