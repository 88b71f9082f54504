#include "server/export_handler.h"

#include "platform/xml/xml_child_writer.h"
#include "platform/xml/xml_field_scanner.h"
#include "platform/xml/xml_parser.h"
#include "server/access_registry.h"
#include "server/code_map.h"
#include "server/record_filter.h"
#include "server/record_table.h"

#include <QRandomGenerator>

namespace kvx {

namespace {

// The envelope's condition item: its child other than opinfo (named like the roottag).
XmlElement conditionItemOf(const XmlElement& root) {
    for (const XmlElement& child : root.childElements()) {
        if (child.name() != QLatin1String("opinfo"))
            return child;
    }
    return {};
}

XmlDocument dataDocument(const XmlElement& query, const QString& sender) {
    XmlDocument data = XmlDocument::create(QStringLiteral("ztinterface"));
    XmlElement root = data.root();
    root.setAttribute(QStringLiteral("sender"), sender);
    root.setAttribute(QStringLiteral("receiver"), QStringLiteral("m6"));
    root.setAttribute(QStringLiteral("roottag"), query.attribute(QStringLiteral("roottag")));
    root.setAttribute(QStringLiteral("docid"),
                      QString::number(QRandomGenerator::global()->bounded(1000000000)));
    root.setAttribute(QStringLiteral("proc"), QStringLiteral("Query"));
    root.setAttribute(QStringLiteral("codeexchanged"), QStringLiteral("n"));
    root.setAttribute(QStringLiteral("exportneedexch"),
                      query.attribute(QStringLiteral("exportneedexch")));
    root.setAttribute(QStringLiteral("display"), query.attribute(QStringLiteral("display")));
    root.setAttribute(QStringLiteral("family"), query.attribute(QStringLiteral("family")));
    return data;
}

} // namespace

ExchangeReply ExportHandler::handle(const XmlDocument& query, RequestSummary summary) const {
    const XmlElement root = query.root();
    const XmlElement opinfo = root.firstChildElement(QStringLiteral("opinfo"));
    const AccessCheck access = m_access.check(
        summary.operatorName, opinfo.attribute(QStringLiteral("pwd")), summary.sender);
    if (!access.granted)
        return ExchangeReply::text(403, access.reason, summary);
    if (!access.hasRight(RightKey::Execute))
        return ExchangeReply::text(
            403, QStringLiteral("用户“%1”没有执行导入导出的权限！").arg(summary.operatorName),
            summary);

    QString error;
    const auto filter = RecordFilter::fromConditionItem(conditionItemOf(root), &error);
    if (!filter)
        return ExchangeReply::text(400, error, summary);
    CodeTranslation toExternal;
    if (root.attribute(QStringLiteral("exportneedexch"))
            .trimmed()
            .compare(QLatin1String("y"), Qt::CaseInsensitive) == 0) {
        const auto loaded = m_codes.load(summary.sender, CodeMap::Direction::ToExternal, &error);
        if (!loaded)
            return ExchangeReply::text(500, QStringLiteral("读取编码映射失败：%1").arg(error),
                                       summary);
        toExternal = *loaded;
    }

    // Records are read, checked and written one at a time: the answer never exists as one tree.
    // A record whose codes are mapped is changed as a tree; any other is only scanned for the
    // fields the conditions look at and written as it is stored.
    XmlChildWriter data(dataDocument(root, summary.sender));
    XmlParser parser;
    XmlFieldScanner scanner(filter->fields());
    const QString keyPath = m_records.keyPath(summary.roottag);
    QString damagedKey;
    const bool read = m_records.forEach(
        summary.roottag,
        [&](const QString& key, const QByteArray& xml) {
            if (toExternal.isEmpty()) {
                if (!scanner.scan(xml)) {
                    damagedKey = key;
                    return false;
                }
                if (filter->matches(scanner.texts())) {
                    data.appendXml(xml, scanner.nonAsciiNames());
                    ++summary.records;
                }
                return true;
            }
            const XmlDocument record = parser.parse(xml);
            if (record.isNull()) {
                damagedKey = key;
                return false;
            }
            // Conditions see the codes the receiver will see.
            toExternal.applyTo(record.root(), summary.roottag, keyPath);
            if (filter->matches(record.root())) {
                data.append(record.root());
                ++summary.records;
            }
            return true;
        },
        &error);
    if (!read)
        return ExchangeReply::text(500, QStringLiteral("读取数据失败：%1").arg(error), summary);
    if (!damagedKey.isEmpty())
        return ExchangeReply::text(
            500, QStringLiteral("存储中关键字为“%1”的记录已损坏，无法导出！").arg(damagedKey),
            summary);
    summary.outcome = QStringLiteral("ok");
    return ExchangeReply::xml(data.finish(), summary);
}

} // namespace kvx
