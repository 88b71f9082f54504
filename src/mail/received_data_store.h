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
    QStringList refusals; // one message for every document that was not written
    QString error;        // set when the operation ended early (unreadable table, disk full…)
    bool ok() const { return error.isEmpty(); }
};

// Rebuilds every document of the database and writes it into the import folder, each file
// atomically. Documents of one mail that share a name are all kept under distinct names.
ExtractOutcome ExtractDocuments(Database& db, const QString& importPath);

// The file name a received document is written under: the last component of the stored
// name, trimmed. Empty when nothing usable is left (".", "..", a device name, characters no
// file name may hold), so a name from a mail never reaches outside the import folder.
QString receivedFileName(const QString& storedName);

} // namespace kvx
