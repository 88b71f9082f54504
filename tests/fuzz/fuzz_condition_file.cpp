// Fuzz target: the condition file as the condition editor reads it, stores an item into it and
// writes it back; a written file always loads again with what was stored.
#include "conditions/condition_document.h"
#include "conditions/item_structure.h"
#include "fuzz_support.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::input(data, size);
    const AppFolder folder(fuzz::scratch());
    fuzz::put(QStringLiteral("Xml/Operation/Condition.xml"), bytes);
    ConditionDocument document(folder);
    if (!document.OpenConditionDocument(false))
        return 0;
    const XmlDocument copy = XmlDocument::fromBytes(bytes);
    for (const XmlElement& item : copy.root().childElements())
        document.ReadConditionItem(item.name(), item.attribute(QStringLiteral("name")),
                                   item.attribute(QStringLiteral("code")));

    const XmlElement first = copy.root().firstChildElement();
    const QString name = first.isNull() ? QStringLiteral("customer") : first.name();
    const QString label = first.attribute(QStringLiteral("name"));
    const QString code = first.attribute(QStringLiteral("code")).trimmed();
    const QList<ConditionRow> rows = {{QStringLiteral("客户编码"), QStringLiteral("="),
                                       QStringLiteral("C'0]1"), QStringLiteral("and"),
                                       QStringLiteral("文本")},
                                      {QStringLiteral("信用额度"), QStringLiteral(">="),
                                       QStringLiteral("100"), QString(), QStringLiteral("小数")}};
    QString error;
    fuzz::check(document.StoreConditionItem(name, label, code, QStringLiteral("D:\\收\\c.xml"),
                                            QString(), rows, ItemStructure()) &&
                    document.WriteConditionFile(&error),
                "a loaded condition file takes an item and is written", error);
    ConditionDocument again(folder);
    fuzz::check(again.OpenConditionDocument(false, &error), "a written condition file loads again",
                error);
    const std::optional<ConditionItemContent> stored = again.ReadConditionItem(name, label, code);
    fuzz::check(stored && stored->importFile == QStringLiteral("D:\\收\\c.xml") &&
                    stored->conditions.size() == 2 && stored->conditions[0].value == rows[0].value,
                "the stored item reads back");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    return files;
}
