#include "server/record_fields.h"

#include <QRegularExpression>
#include <QStringList>

namespace kvx {

XmlElement recordField(const XmlElement& record, const QString& path) {
    const QStringList steps = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (steps.isEmpty())
        return {};
    XmlElement current = record;
    for (const QString& step : steps) {
        current = current.firstChildElement(step.trimmed());
        if (current.isNull())
            return {};
    }
    return current;
}

QString recordFieldText(const XmlElement& record, const QString& path) {
    const XmlElement field = recordField(record, path);
    return field.isNull() ? QString() : field.text().trimmed();
}

bool isDecimalNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    return number.match(text).hasMatch();
}

} // namespace kvx
