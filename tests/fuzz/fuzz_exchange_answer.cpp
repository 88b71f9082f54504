// Fuzz target: the exchange server's answer to an import (its result document, turned into the
// run's report) and to a query (the data document, normalized and saved).
#include "documents/interface_documents.h"
#include "documents/result_report.h"
#include "fuzz_support.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XmlDocument answer = XmlDocument::fromBytes(fuzz::input(data, size));
    if (answer.isNull())
        return 0;
    const QString report = AppendResultReport(answer, QStringLiteral("客户"), QString());
    const ResultCounts counts = countResults(answer);
    fuzz::check(report.startsWith(QStringLiteral("客户\r\n")) &&
                    report.endsWith(QStringLiteral("\r\n\r\n")),
                "the item's block has its title and its closing line", report);
    fuzz::check(counts.succeeded + counts.failed == answer.select(QStringLiteral("//item")).size(),
                "every result item is counted");
    NormalizeDataDocument(answer, QStringLiteral("customer"), QStringLiteral("001"));
    const QByteArray saved = answer.toBytes();
    fuzz::check(!XmlDocument::fromBytes(saved).isNull(), "a saved export loads again",
                QString::fromUtf8(saved.left(4000)));
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // Data documents as a query answers them, and a result document of an import.
    return QList<QByteArray>(files)
           << QByteArray("<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<result roottag=\"voucher\" "
                         "docid=\"1\" proc=\"Add\"><item succeed=\"0\" key=\"PZ1\" dsc=\"ok\" "
                         "voucher_type=\"\xBC\xC7\" voucher_id=\"1\" m6voucher_id=\"17\" "
                         "m6accounting_period=\"202611\"/><item succeed=\"1\" key=\"PZ2\" "
                         "dsc=\"&#x5806;\"/></result>");
}
