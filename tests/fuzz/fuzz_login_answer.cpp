// Fuzz target: the exchange server's answer to a login request, as the login dialog reads it.
#include "fuzz_support.h"
#include "login/login_verdict.h"
#include "platform/http_client.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HttpResult result;
    result.outcome = HttpResult::Outcome::Completed;
    result.status = 200;
    result.body = fuzz::input(data, size);
    const LoginVerdict verdict = LoginVerdict::fromResult(result);
    fuzz::check(verdict.kind == LoginVerdict::Kind::Succeeded || !verdict.message.isEmpty(),
                "a failed login is always explained");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>&) {
    // The reference server's answers: granted, refused, and a rights item missing.
    return {
        QByteArray("<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<login><result succeed=\"0\" "
                   "dsc=\"ok\"/><item key=\"KV020202\" succeed=\"1\"/><item key=\"KV0203\" "
                   "succeed=\"True\"/><item key=\"KV0301\" succeed=\"0\"/></login>"),
        QByteArray("<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<login><result succeed=\"1\" "
                   "dsc=\"\xD3\xC3\xBB\xA7\xB2\xBB\xB4\xE6\xD4\xDA\"/></login>"),
        QByteArray("<login><result succeed=\"0\"/><item key=\"KV0203\" succeed=\"2\"/></login>")};
}
