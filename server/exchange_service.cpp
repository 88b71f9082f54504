#include "server/exchange_service.h"

#include "platform/xml/xml_document.h"
#include "platform/xml/xml_outline.h"

namespace kvx {

namespace {

// Before anything else, credentials included: a document that declares entities is refused
// before any of them could be expanded.
ExchangeReply refusedDocument(const QString& reason) {
    return ExchangeReply::text(400, QStringLiteral("请求文档被拒绝：%1。").arg(reason));
}

ExchangeReply notXml(const QString& error) {
    return ExchangeReply::text(400, QStringLiteral("请求内容不是XML文档（%1）。").arg(error));
}

std::optional<ExchangeReply> parse(const QByteArray& body, XmlDocument& document) {
    QString error;
    bool refused = false;
    document = XmlDocument::fromBytes(body, &error, &refused);
    if (refused)
        return refusedDocument(error);
    if (document.isNull())
        return notXml(error);
    return std::nullopt;
}

} // namespace

ExchangeService::ExchangeService(StoreDatabase& database)
    : m_access(database)
    , m_records(database)
    , m_codes(database)
    , m_login(m_access)
    , m_import(database, m_access, m_records, m_codes)
    , m_export(m_access, m_records, m_codes) {}

ExchangeReply ExchangeService::login(const QByteArray& body) {
    XmlDocument request;
    if (auto refused = parse(body, request))
        return *refused;
    return m_login.handle(request);
}

ExchangeReply ExchangeService::exchange(const QByteArray& body) {
    // One pass without a tree checks the whole document and reads its head; an import's records
    // are then read one at a time, a query (small) as a tree.
    const XmlOutline outline = XmlOutline::scan(body);
    if (outline.refused)
        return refusedDocument(outline.error);
    if (!outline.wellFormed)
        return notXml(outline.error);
    const XmlElement root = outline.head.root();
    if (root.name() != QLatin1String("ztinterface"))
        return ExchangeReply::text(
            400, QStringLiteral("文档的根元素是%1，不是ztinterface。").arg(root.name()));

    RequestSummary summary;
    summary.roottag = root.attribute(QStringLiteral("roottag")).trimmed();
    summary.sender = root.attribute(QStringLiteral("sender")).trimmed();
    summary.proc = root.attribute(QStringLiteral("proc")).trimmed();
    const XmlElement opinfo = root.firstChildElement(QStringLiteral("opinfo"));
    summary.operatorName = opinfo.attribute(QStringLiteral("operator")).trimmed();
    if (summary.roottag.isEmpty())
        return ExchangeReply::text(400, QStringLiteral("文档缺少roottag属性。"), summary);
    if (opinfo.isNull())
        return ExchangeReply::text(400, QStringLiteral("文档缺少opinfo元素。"), summary);

    if (summary.proc.compare(QLatin1String("query"), Qt::CaseInsensitive) == 0) {
        XmlDocument query;
        if (auto refused = parse(body, query))
            return *refused;
        return m_export.handle(query, summary);
    }
    return m_import.handle(body, outline, summary);
}

} // namespace kvx
