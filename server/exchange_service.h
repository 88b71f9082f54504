#pragma once

#include "server/access_registry.h"
#include "server/code_map.h"
#include "server/exchange_reply.h"
#include "server/export_handler.h"
#include "server/import_handler.h"
#include "server/login_handler.h"
#include "server/record_table.h"

#include <QByteArray>

namespace kvx {

class StoreDatabase;

// The exchange server's work without the transport: a request body in, a reply out.
// Bodies are decoded by their XML declaration (usually gb2312); answers are declared
// gb2312 with numeric references for characters outside it.
class ExchangeService {
public:
    explicit ExchangeService(StoreDatabase& database);

    // The login page.
    ExchangeReply login(const QByteArray& body);
    // The import page: an import document, or a query envelope when `proc` is "Query".
    ExchangeReply exchange(const QByteArray& body);

    AccessRegistry& access() { return m_access; }
    RecordTable& records() { return m_records; }
    CodeMap& codes() { return m_codes; }
    ImportHandler& importer() { return m_import; }

private:
    AccessRegistry m_access;
    RecordTable m_records;
    CodeMap m_codes;
    LoginHandler m_login;
    ImportHandler m_import;
    ExportHandler m_export;
};

} // namespace kvx
