#include "server/record_fields.h"

#include <QRegularExpression>
#include <QStringList>

namespace kvx {

QStringList recordPathSteps(const QString& path) {
    QStringList steps = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QString& step : steps)
        step = step.trimmed();
    return steps;
}

XmlElement recordField(const XmlElement& record, const QString& path) {
    const QStringList steps = recordPathSteps(path);
    if (steps.isEmpty())
        return {};
    XmlElement current = record;
    for (const QString& step : steps) {
        current = current.firstChildElement(step);
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
