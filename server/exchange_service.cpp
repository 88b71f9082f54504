#include "server/exchange_service.h"

#include "platform/xml_document.h"

namespace kvx {

namespace {

std::optional<ExchangeReply> parse(const QByteArray& body, XmlDocument& document) {
    QString error;
    document = XmlDocument::fromBytes(body, &error);
    if (document.isNull())
        return ExchangeReply::text(400, QStringLiteral("请求内容不是XML文档（%1）。").arg(error));
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
    XmlDocument document;
    if (auto refused = parse(body, document))
        return *refused;
    const XmlElement root = document.root();
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

    if (summary.proc.compare(QLatin1String("query"), Qt::CaseInsensitive) == 0)
        return m_export.handle(document, summary);
    return m_import.handle(document, summary);
}

} // namespace kvx
