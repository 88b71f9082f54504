#pragma once

#include "server/exchange_reply.h"

namespace kvx {

class AccessRegistry;
class CodeMap;
class RecordTable;
class XmlDocument;

// Answers a query envelope with a data document: an interface document holding the
// records of the roottag that the envelope's condition item lets through, with `sender`,
// `receiver`, `display` and `family` set. An operator or sender that is refused gets 403,
// a condition that cannot be evaluated 400, each with a plain text.
class ExportHandler {
public:
    ExportHandler(AccessRegistry& access, RecordTable& records, CodeMap& codes)
        : m_access(access)
        , m_records(records)
        , m_codes(codes) {}

    ExchangeReply handle(const XmlDocument& query, RequestSummary summary) const;

private:
    AccessRegistry& m_access;
    RecordTable& m_records;
    CodeMap& m_codes;
};

} // namespace kvx
