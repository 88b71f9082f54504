// Fuzz target: an interface document as the import run reads and completes it, and the readers
// that take large documents apart without a tree (outline, child stream, child spans) against
// the parser that builds one.
#include "catalogue/catalogue.h"
#include "documents/import_document.h"
#include "fuzz_support.h"
#include "platform/xml/xml_child_spans.h"
#include "platform/xml/xml_child_stream.h"
#include "platform/xml/xml_outline.h"

#include <QHash>

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::input(data, size);
    QString error;
    bool refused = false;
    const XmlDocument whole = XmlDocument::fromBytes(bytes, &error, &refused);
    QHash<QString, int> children;
    for (const XmlElement& child : whole.root().childElements())
        ++children[child.name()];
    const XmlOutline outline = XmlOutline::scan(bytes);
    fuzz::check(outline.wellFormed == !whole.isNull() && outline.refused == refused &&
                    outline.error == error && outline.rootName == whole.root().name() &&
                    outline.rootChildCounts == children,
                "the outline reads as the parser reads", error + QLatin1Char('|') + outline.error);
    if (whole.isNull())
        return 0;
    const QString roottag = outline.head.root().attribute(QStringLiteral("roottag"));
    const int records = outline.rootChildCounts.value(roottag);
    int streamed = 0;
    fuzz::check(XmlChildStream::read(bytes,
                                     [&](const XmlElement& child) {
                                         streamed += child.name() == roottag ? 1 : 0;
                                         return true;
                                     }) &&
                    streamed == records,
                "the child stream reads every record");
    const XmlChildSpans spans = XmlChildSpans::scan(bytes, roottag.toUtf8());
    fuzz::check(!spans.readableEncoding || !spans.found || spans.children.size() == records,
                "the spans find every record");

    ImportDocument document;
    fuzz::check(document.load(fuzz::put(QStringLiteral("import.xml"), bytes), &error),
                "a well-formed file loads", error);
    const CatalogueItem item{{}, QStringLiteral("客户"), roottag, QStringLiteral("基础档案")};
    if (!document.checkItem(item, &error) ||
        !document.complete(
            {QStringLiteral("Add"), {{QStringLiteral("skipexisting"), QStringLiteral("y")}}},
            {QStringLiteral("y"),
             item.label,
             item.family,
             QStringLiteral("001"),
             {QStringLiteral("演示"), QStringLiteral("ab12"), QStringLiteral("2026-12-06")}},
            &error))
        return 0;
    const QByteArray body = document.takeBody();
    const XmlOutline sent = XmlOutline::scan(body);
    fuzz::check(sent.wellFormed, "the completed document is XML",
                QString::fromUtf8(body.left(4000)));
    const QString opinfo = QStringLiteral("opinfo");
    fuzz::check(sent.rootChildCounts.value(roottag) == records + (roottag == opinfo ? 1 : 0) &&
                    sent.rootChildCounts.value(opinfo) ==
                        outline.rootChildCounts.value(opinfo) + 1 &&
                    sent.head.root().attribute(QStringLiteral("proc")) == QLatin1String("Add"),
                "the completed document carries every record, opinfo and the operation");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // Besides the sample's files, documents that the outline and the parser must read alike.
    return QList<QByteArray>(files)
           << ""
           << "<r><a><b/></a>text<c/><a/></r>"
           << "<r><a></r>"
           << "<r/><s/>"
           << "<r>&nothing;</r>"
           << "<!DOCTYPE r><r><y/></r>"
           << "<!DOCTYPE r [<!ENTITY e \"<x/>\">]><r>&e;<y/></r>"
           << "<!DOCTYPE r SYSTEM \"/etc/passwd\"><r><y/></r>"
           << "<!DOCTYPE r [<!ENTITY e SYSTEM \"/etc/passwd\">]><r>&e;</r>"
           << "<p:r><p:a/></p:r>"
           << "<p:r xmlns:p='urn:p'><p:a/></p:r>"
           << "<?xml version=\"1.0\" encoding=\"gb2312\"?><r><n>\x88\xD2</n></r>"
           << "<?xml version=\"1.0\" encoding=\"nonsense-8\"?><r/>";
}
