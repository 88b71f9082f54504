#pragma once

#include "server/exchange_reply.h"
#include "server/import_mode.h"

#include <QList>

namespace kvx {

class AccessRegistry;
class CodeMap;
class RecordTable;
class StoreDatabase;
class XmlDocument;
class XmlElement;
struct XmlOutline;

// Imports an interface document: every record element (a child of the root named by the
// roottag) is added, changed or deleted by its key, all in one transaction with a
// savepoint per record, so a failed record leaves the others in place and a crash leaves
// the whole document in or out. Answers a result document with one `item` per record.
// The document's records are read one at a time (XmlChildStream), never as one tree; its
// head (root attributes, opinfo) comes from the outline that checked it.
class ImportHandler {
public:
    ImportHandler(StoreDatabase& database, AccessRegistry& access, RecordTable& records,
                  CodeMap& codes)
        : m_database(database)
        , m_access(access)
        , m_records(records)
        , m_codes(codes) {}

    // Fault tests: keep the transaction open this long before committing.
    void setCommitDelayMs(int ms) { m_commitDelayMs = ms; }

    ExchangeReply handle(const QByteArray& body, const XmlOutline& outline, RequestSummary summary);

private:
    QString refusalOf(const XmlElement& root, const ImportMode& mode) const;
    ExchangeReply store(XmlDocument& result, const QByteArray& body, const XmlElement& root,
                        const ImportMode& mode, const QString& keyPath, RequestSummary summary);

    StoreDatabase& m_database;
    AccessRegistry& m_access;
    RecordTable& m_records;
    CodeMap& m_codes;
    int m_commitDelayMs = 0;
};

} // namespace kvx
