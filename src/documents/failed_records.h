#pragma once

#include "platform/xml/xml_document.h"

#include <QByteArray>
#include <QString>

namespace kvx {

// The records of an import that the exchange server refused, written beside the imported file
// as "<name>.failed.xml" so that the operator can mend them there and import that file like
// any other: the file's own prolog and root start tag, then only the refused records, each
// byte for byte as it stands in the imported file (so in its encoding), in file order. An
// earlier file of that name is replaced whole, never half written.
//
// Which records were refused is read from the result document: by position when it has one
// item per record; otherwise by each item's `key` against the records' key field, when every
// item's key names exactly one record. When neither is certain, nothing is written and the
// outcome says why.
struct FailedRecords {
    // The imported file as it was read and sent.
    struct Source {
        QString path;
        QByteArray bytes;
        QString roottag;
        int recordCount = 0; // records as the parser counted them
        // The field that identifies a record (the item structure's key field): a direct child
        // of the record, else a child of its `header`.
        QString keyField;
    };
    enum class Outcome { NoneFailed, Written, NotWritten };

    Outcome outcome = Outcome::NoneFailed;
    int count = 0;  // records that failed
    QString path;   // the file written
    QString reason; // why it was not written

    static FailedRecords write(const Source& source, const XmlDocument& result);
    // "<name>.failed.xml" beside the file; a name ending in ".xml" loses that ending first. A
    // failed-records file imported again is itself replaced by the records that still fail.
    static QString pathFor(const QString& sourcePath);
    // The key field when the item structure marks none.
    static QString defaultKeyField() { return QStringLiteral("code"); }

    // The item's last report line: which file holds the failed records, or why none does.
    // Empty when no record failed.
    QString reportLine() const;
};

} // namespace kvx
