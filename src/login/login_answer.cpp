#include "login/login_answer.h"

#include "platform/xml/xml_document.h"
#include "settings/text_decoding.h"

namespace kvx {

namespace {

const QString kConfigureKey = QStringLiteral("KV020202");
const QString kExecuteKey = QStringLiteral("KV0203");
const QString kScheduleKey = QStringLiteral("KV0301");

std::optional<bool> right(const XmlElement& root, const QString& key) {
    for (const XmlElement& item : root.childElements()) {
        if (item.name() == QLatin1String("item") && item.attribute(QStringLiteral("key")) == key)
            return LoginAnswer::toBoolean(item.attribute(QStringLiteral("succeed")));
    }
    return std::nullopt;
}

} // namespace

LoginAnswer LoginAnswer::read(const QByteArray& body) {
    LoginAnswer answer;
    const XmlDocument document = XmlDocument::fromBytes(body);
    const XmlElement result =
        document.isNull() ? XmlElement() : document.root().firstChildElement();
    if (result.isNull()) {
        answer.xmlText = document.isNull() ? decodeUtf8OrGb18030(body) : document.toString();
        return answer;
    }
    answer.xmlText = document.toString();
    if (result.attribute(QStringLiteral("succeed")) != QLatin1String("0")) {
        answer.kind = Kind::Refused;
        answer.description = result.attribute(QStringLiteral("dsc"));
        return answer;
    }
    const std::optional<bool> canConfigure = right(document.root(), kConfigureKey);
    const std::optional<bool> canExecute = right(document.root(), kExecuteKey);
    if (!canConfigure || !canExecute) {
        answer.kind = Kind::RightsMissing;
        return answer;
    }
    answer.kind = Kind::Succeeded;
    answer.canConfigure = *canConfigure;
    answer.canExecute = *canExecute;
    answer.canEditSchedules = right(document.root(), kScheduleKey).value_or(*canConfigure);
    return answer;
}

std::optional<bool> LoginAnswer::toBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool numeric = false;
    const double value = trimmed.toDouble(&numeric);
    if (!numeric)
        return std::nullopt;
    return value != 0.0;
}

} // namespace kvx
