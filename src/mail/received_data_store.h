#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

class Database;

// The table KVXXml in the database of every exchange mail: interface documents are cut into
// its rows when a mail is filled and put back together when one arrives.
//
// A document is known by its (id, name) pair and stored whole, as one "all" row, when its
// XML text is shorter than 64000 characters. A longer one is split: a "title" row with the
// root's start tag and one "data" row for every child of the root, in order; rows are only
// ever concatenated, so receivers that know only this form read every document.

// "文件不存在或文件不合法！" followed by the file's path.
QString invalidDocumentMessage(const QString& path);

// True when the database file opens and has the table.
bool HasStoreTable(const QString& databasePath);
// Opens the database of a mail being filled and creates the table when it is missing.
bool openStore(Database& db, const QString& databasePath, QString* error);

struct StoreOutcome {
    enum class Kind {
        Stored,  // the rows are written
        Refused, // the file is not an interface document; the message says why
        Failed   // the database refused a row: the mail cannot be filled
    };
    Kind kind = Kind::Stored;
    QString message;
};

// Checks one interface document file and writes its rows under the id.
StoreOutcome StoreDocument(const QString& id, const QString& path, Database& db);

struct ExtractOutcome {
    QStringList written;  // the files written, in order
    QStringList renamed;  // one message for every document written under another name
    QStringList refusals; // one message for every document that was not written
    QString error;        // set when the operation ended early (unreadable table, disk full…)
    bool ok() const { return error.isEmpty(); }
    // Every document of the mail is written: the mail may be acknowledged.
    bool allWritten() const { return ok() && refusals.isEmpty(); }
};

// Rebuilds every document of the database and writes it into the import folder, each file
// atomically. A document keeps its name, overwriting an earlier file of that name, unless
// another document of the mail took the name first or no file may bear it: then it is
// written under a name of its own that overwrites nothing, and the message names both.
ExtractOutcome ExtractDocuments(Database& db, const QString& importPath);

// "收到的文件…已改名…": the name a document was sent under and the file it was written to.
QString renamedDocumentMessage(const QString& storedName, const QString& path);

// The file name a received document is written under: the last component of the stored
// name, trimmed and cut to the 30 characters a sender keeps, with what no file name may hold on
// Windows or Linux replaced by "_" (a character such as ":" or "?", a final "." or blank, a device
// name such as "con"), so that a name from a mail never reaches outside the import folder and is
// always writable.
QString receivedFileName(const QString& storedName);

} // namespace kvx
