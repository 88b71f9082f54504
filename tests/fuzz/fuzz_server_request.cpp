// Fuzz target: an HTTP request to the reference server, as its connection guard reads the head
// and, for a request it takes, as the login or exchange page handles the body against a store
// of demo data (an import stores records; they are removed again after each input).
#include "fuzz_support.h"
#include "platform/password_encryptor.h"
#include "server/demo_seed.h"
#include "server/exchange_service.h"
#include "server/request_head.h"
#include "server/store_database.h"

#include <optional>

using namespace kvx;

namespace {

// One store of demo data for the whole run; its connection lives as long as the process.
struct DemoServer {
    StoreDatabase store;
    std::optional<ExchangeService> exchange;
};

DemoServer& demoServer() {
    static DemoServer* server = [] {
        auto* server = new DemoServer;
        QString error;
        fuzz::check(server->store.open(fuzz::scratch() + QStringLiteral("/store.sqlite"), &error) &&
                        seedDemoData(server->store, QDate(2026, 12, 6), &error) &&
                        server->store.execute(QStringLiteral(
                            "create temp table seeded as select max(id) as id from records")),
                    "the demo store opens", error);
        server->exchange.emplace(server->store);
        return server;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DemoServer& server = demoServer();
    const QByteArray bytes = fuzz::input(data, size);
    const qsizetype headLength = RequestHead::lengthIn(bytes);
    const std::optional<RequestHead> head = RequestHead::parse(bytes.left(headLength));
    if (headLength == 0 || headLength > 65536 || !head)
        return 0;
    const HeadVerdict verdict = HeadVerdict::of(*head, 1 << 20);
    fuzz::check(verdict.status == 0 || !verdict.text.isEmpty(), "a refused request is told why");
    if (verdict.status != 0 || bytes.size() - headLength < verdict.bodyLength)
        return 0;
    const QByteArray body = bytes.mid(headLength, verdict.bodyLength);
    const QString path = head->path();
    ExchangeReply reply;
    if (path.compare(QLatin1String("/M6KVX/login.asp"), Qt::CaseInsensitive) == 0)
        reply = server.exchange->login(body);
    else if (path.compare(QLatin1String("/M6Kvx/import.asp"), Qt::CaseInsensitive) == 0)
        reply = server.exchange->exchange(body);
    else
        return 0;
    fuzz::check(reply.status >= 200 && reply.status < 600 && !reply.body.isEmpty(),
                "every request is answered");
    fuzz::check(server.store.execute(
                    QStringLiteral("delete from records where id > (select id from seeded)")),
                "the store stays writable");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // Each sample data file imported as the console sends it, a login and a query.
    const QByteArray pwd = PasswordEncryptor().ascPwd(QStringLiteral("demo")).toLatin1();
    const QByteArray opinfo = "<opinfo operator='demo' pwd='" + pwd + "' date='2026-12-06'/>";
    QByteArrayList bodies = {
        "<?xml version='1.0' encoding='gb2312'?><opinfo uid='demo' pwd='" + pwd +
            "' date='2026-12-06' sender='001'/>",
        "<?xml version='1.0' encoding='gb2312' ?><ztinterface sender='001' receiver='m6' "
        "roottag='customer' docid='1' proc='Query' codeexchanged='n' exportneedexch='y'>"
        "<customer name='x' code='001'><field display='x' name='creditline' operation='&gt;' "
        "value='100000' logic='or'/><field name='code' operation='=' value='C006' logic=''/>"
        "</customer>" +
            opinfo + "</ztinterface>"};
    for (QByteArray file : files)
        bodies << file.insert(file.lastIndexOf("</ztinterface>"), opinfo);
    QList<QByteArray> requests;
    for (const QByteArray& body : bodies)
        requests << "POST /" +
                        QByteArray(requests.isEmpty() ? "M6KVX/login.asp" : "M6Kvx/import.asp") +
                        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return requests;
}
