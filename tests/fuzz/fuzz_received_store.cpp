// Fuzz target: the received-data store's extraction of the documents of an arrived mail. The
// input is the table's rows (fields split by 0x1f, rows by 0x1e), written into the mail's
// database file first; every document written lands in the import folder and loads again.
#include "fuzz_support.h"
#include "mail/received_data_store.h"
#include "platform/database.h"
#include "platform/xml/xml_document.h"

#include <QDir>
#include <QFile>

using namespace kvx;

namespace {

const QString kInsert = QStringLiteral("insert into KVXXml(id,name,type,texts) values (?,?,?,?)");

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString databasePath = fuzz::scratch() + QStringLiteral("/KVmail.db");
    const QString importPath = fuzz::scratch() + QStringLiteral("/import");
    QFile::remove(databasePath);
    QDir(importPath).removeRecursively();
    QDir().mkpath(importPath);
    Database db;
    QString error;
    fuzz::check(openStore(db, databasePath, &error), "the mail's database opens", error);
    for (const QByteArray& row : fuzz::input(data, size).split('\x1e')) {
        const QList<QByteArray> fields = row.split('\x1f');
        if (fields.size() == 4)
            db.execute(kInsert, {QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1]),
                                 QString::fromUtf8(fields[2]), QString::fromUtf8(fields[3])});
    }
    const ExtractOutcome outcome = ExtractDocuments(db, importPath);
    fuzz::check(outcome.ok(), "a readable table is extracted", outcome.error);
    for (const QString& path : outcome.written) {
        fuzz::check(QFileInfo(path).absolutePath() == importPath,
                    "a received file stays in the import folder", path);
        fuzz::check(!XmlDocument::fromFile(path).isNull(), "a received file loads again", path);
    }
    fuzz::check(QDir(importPath).entryList(QDir::Files | QDir::Hidden).size() == outcome.written.size(),
                "documents of one mail never overwrite one another");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // The rows the sending side stores for each sample file, and for all of them in one mail,
    // one of them large enough to be split.
    const QString databasePath = fuzz::scratch() + QStringLiteral("/seed.db");
    QList<QByteArray> inputs;
    QByteArray large = files.value(0);
    large.insert(large.lastIndexOf("</ztinterface>"), "<!--" + QByteArray(70000, 'x') + "-->");
    QList<QByteArray> mail = QList<QByteArray>(files) << large;
    for (qsizetype i = 0; i <= mail.size(); ++i) {
        QFile::remove(databasePath);
        Database db;
        QString error;
        fuzz::check(openStore(db, databasePath, &error), "the seed database opens", error);
        const QList<QByteArray> documents = i < mail.size() ? QList<QByteArray>{mail[i]} : mail;
        for (qsizetype d = 0; d < documents.size(); ++d)
            StoreDocument(QString::number(d),
                          fuzz::put(QStringLiteral("doc%1.xml").arg(d), documents[d]), db);
        bool ok = false;
        QByteArrayList rows;
        for (RecordSet set = db.query(QStringLiteral("select * from KVXXml"), {}, &ok);
             !set.atEnd(); set.moveNext())
            rows << QByteArrayList{set.field(QStringLiteral("id")).toUtf8(),
                                   set.field(QStringLiteral("name")).toUtf8(),
                                   set.field(QStringLiteral("type")).toUtf8(),
                                   set.field(QStringLiteral("texts")).toUtf8()}
                        .join('\x1f');
        inputs << rows.join('\x1e');
    }
    return inputs;
}
