#pragma once

#include "mail/received_data_store.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvx {

// One interface document file to go out with a mail, under its id in the mail.
struct MailDocument {
    QString id;
    QString path;
};

struct FillOutcome {
    int stored = 0;
    QStringList refusals; // files that are not interface documents, one message each
    QString error;        // the database could not be filled: the mail must not go out
    bool ok() const { return error.isEmpty(); }
};

// Fills the database of a new outgoing mail: the table is created when it is missing and
// every document is stored in order, all in one transaction. Refused files are skipped and
// the others still stored.
FillOutcome fillMail(const QString& databasePath, const QList<MailDocument>& documents);

// Writes every document of an arrived mail's database into the import folder.
ExtractOutcome receiveMail(const QString& databasePath, const QString& importPath);

} // namespace kvx
