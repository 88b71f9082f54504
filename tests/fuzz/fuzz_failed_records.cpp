// Fuzz target: the failed-records file written from an imported document and the server's
// result document (the input's two parts).
#include "documents/failed_records.h"
#include "fuzz_support.h"
#include "platform/xml/xml_child_stream.h"
#include "platform/xml/xml_outline.h"

#include <QFile>

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> input = fuzz::parts(fuzz::input(data, size), 2);
    const XmlOutline outline = XmlOutline::scan(input[0]);
    const XmlDocument result = XmlDocument::fromBytes(input[1]);
    if (!outline.wellFormed || result.isNull())
        return 0; // the import run sends only documents that read, and reads only XML answers
    const QString roottag = outline.head.root().attribute(QStringLiteral("roottag"));
    const QString path = fuzz::put(QStringLiteral("customer.xml"), input[0]);
    QFile::remove(FailedRecords::pathFor(path));
    const FailedRecords failed = FailedRecords::write(
        {path, input[0], roottag, outline.rootChildCounts.value(roottag), QStringLiteral("code")},
        result);
    if (failed.outcome != FailedRecords::Outcome::Written)
        return 0;
    QFile file(failed.path);
    fuzz::check(file.open(QIODevice::ReadOnly), "the failed-records file is there");
    const XmlOutline written = XmlOutline::scan(file.readAll());
    fuzz::check(written.wellFormed && written.rootChildCounts.value(roottag) == failed.count,
                "the failed-records file is XML and holds the failed records", written.error);
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // Each sample file with an answer for every record (every second one refused), and with
    // an answer naming only the refused records by key.
    QList<QByteArray> inputs;
    for (const QByteArray& file : files) {
        XmlDocument byPosition = XmlDocument::create(QStringLiteral("result"));
        XmlDocument byKey = XmlDocument::create(QStringLiteral("result"));
        const QString roottag =
            XmlOutline::scan(file).head.root().attribute(QStringLiteral("roottag"));
        int position = 0;
        XmlChildStream::read(file, [&](const XmlElement& record) {
            if (record.name() != roottag)
                return true;
            const QString key = record.firstChildElement(QStringLiteral("code")).text();
            const bool refused = position++ % 2 == 1;
            for (XmlDocument* result : {&byPosition, &byKey}) {
                if (result == &byKey && !refused)
                    continue;
                XmlElement item = result->root().appendChild(QStringLiteral("item"));
                item.setAttribute(QStringLiteral("succeed"),
                                  refused ? QStringLiteral("1") : QStringLiteral("0"));
                item.setAttribute(QStringLiteral("key"), key);
            }
            return true;
        });
        inputs << QByteArrayList{file, byPosition.toBytes()}.join(kSeparator)
               << QByteArrayList{file, byKey.toBytes()}.join(kSeparator);
    }
    return inputs;
}
