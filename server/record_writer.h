#pragma once

#include "platform/xml/xml_element.h"
#include "server/import_mode.h"

#include <QString>

namespace kvx {

class RecordTable;

struct RecordOutcome {
    bool succeeded = false;
    QString description;
    qint64 erpNumber = 0; // the stored record's own number, when there is one
};

// Adds, changes or deletes one record of an import document in the record table, as the
// document's mode says. Runs inside the document's transaction; the caller undoes a
// failed record's changes.
class RecordWriter {
public:
    explicit RecordWriter(RecordTable& records)
        : m_records(records) {}

    RecordOutcome write(const XmlElement& record, const QString& roottag, const QString& key,
                        const ImportMode& mode);

private:
    RecordOutcome insert(const XmlElement& record, const QString& roottag, const QString& key,
                         const ImportMode& mode);
    RecordOutcome replace(qint64 id, const XmlElement& record, const QString& roottag,
                          const ImportMode& mode, const QString& done);
    RecordOutcome remove(qint64 id);

    RecordTable& m_records;
};

} // namespace kvx
