#include "server/login_handler.h"

#include "platform/xml/xml_document.h"
#include "server/access_registry.h"

namespace kvx {

ExchangeReply LoginHandler::handle(const XmlDocument& request) const {
    const XmlElement opinfo = request.root();
    RequestSummary summary;
    if (opinfo.name() != QLatin1String("opinfo"))
        return ExchangeReply::text(400, QStringLiteral("登录文档的根元素不是opinfo。"));
    summary.operatorName = opinfo.attribute(QStringLiteral("uid")).trimmed();
    summary.sender = opinfo.attribute(QStringLiteral("sender")).trimmed();

    const AccessCheck access = m_access.check(
        summary.operatorName, opinfo.attribute(QStringLiteral("pwd")), summary.sender);
    XmlDocument answer = XmlDocument::create(QStringLiteral("login"));
    XmlElement result = answer.root().appendChild(QStringLiteral("result"));
    result.setAttribute(QStringLiteral("succeed"),
                        access.granted ? QStringLiteral("0") : QStringLiteral("1"));
    result.setAttribute(QStringLiteral("dsc"),
                        access.granted ? QStringLiteral("登录成功") : access.reason);
    if (access.granted) {
        for (const QString& key : RightKey::All) {
            XmlElement item = answer.root().appendChild(QStringLiteral("item"));
            item.setAttribute(QStringLiteral("key"), key);
            item.setAttribute(QStringLiteral("succeed"),
                              access.hasRight(key) ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }
    summary.outcome = access.granted ? QStringLiteral("login ok") : access.reason;
    return ExchangeReply::xml(answer, summary);
}

} // namespace kvx
