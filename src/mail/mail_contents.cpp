#include "mail/mail_contents.h"

#include "platform/database.h"

namespace kvx {

FillOutcome fillMail(const QString& databasePath, const QList<MailDocument>& documents) {
    FillOutcome outcome;
    Database db;
    if (!openStore(db, databasePath, &outcome.error))
        return outcome;
    db.transaction();
    for (const MailDocument& document : documents) {
        const StoreOutcome stored = StoreDocument(document.id, document.path, db);
        switch (stored.kind) {
        case StoreOutcome::Kind::Stored:
            ++outcome.stored;
            break;
        case StoreOutcome::Kind::Refused:
            outcome.refusals.append(stored.message);
            break;
        case StoreOutcome::Kind::Failed:
            db.rollback();
            outcome.error = stored.message;
            return outcome;
        }
    }
    db.commit(&outcome.error);
    return outcome;
}

ExtractOutcome receiveMail(const QString& databasePath, const QString& importPath) {
    Database db;
    ExtractOutcome outcome;
    if (!db.open(databasePath, &outcome.error))
        return outcome;
    return ExtractDocuments(db, importPath);
}

} // namespace kvx
