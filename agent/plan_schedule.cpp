#include "plan_schedule.h"

namespace kvx {

namespace {

struct NumberField {
    const char* attribute;
    const char* meaning;
    int min;
    int max;
    int PlanSchedule::*target;
};

QList<PlanItem> readItems(const XmlElement& list) {
    QList<PlanItem> items;
    for (const XmlElement& item : list.childElements()) {
        items.append({item.name(), item.attribute(QStringLiteral("operation")),
                      item.attribute(QStringLiteral("needexchanged")) == QLatin1String("y")});
    }
    return items;
}

std::optional<PlanSchedule::Type> typeOf(const QString& text) {
    if (text == QLatin1String("year"))
        return PlanSchedule::Type::Year;
    if (text == QLatin1String("month"))
        return PlanSchedule::Type::Month;
    if (text == QLatin1String("week"))
        return PlanSchedule::Type::Week;
    if (text == QLatin1String("day"))
        return PlanSchedule::Type::Day;
    return std::nullopt;
}

} // namespace

PlanSchedule PlanSchedule::read(const XmlElement& element) {
    PlanSchedule schedule;
    schedule.code = element.attribute(QStringLiteral("code"));
    schedule.imports = readItems(element.firstChildElement(QStringLiteral("import")));
    schedule.exports = readItems(element.firstChildElement(QStringLiteral("export")));
    const QString typeText = element.attribute(QStringLiteral("type"));
    const std::optional<Type> type = typeOf(typeText);
    if (!type) {
        schedule.problem = QStringLiteral("执行频率“%1”无法识别").arg(typeText);
        return schedule;
    }
    schedule.type = *type;
    const QString format = QStringLiteral("yyyy-MM-dd");
    schedule.begin = QDate::fromString(element.attribute(QStringLiteral("begin")), format);
    schedule.end = QDate::fromString(element.attribute(QStringLiteral("end")), format);
    if (!schedule.begin.isValid() || !schedule.end.isValid()) {
        schedule.problem = QStringLiteral("执行期间的日期无法识别");
        return schedule;
    }
    QList<NumberField> fields = {{"hour", "时", 0, 23, &PlanSchedule::hour},
                                 {"minute", "分", 0, 59, &PlanSchedule::minute}};
    if (schedule.type == Type::Year)
        fields.append({"month", "月份", 1, 12, &PlanSchedule::month});
    if (schedule.type == Type::Year || schedule.type == Type::Month)
        fields.append({"day", "日期", 1, 31, &PlanSchedule::day});
    if (schedule.type == Type::Week)
        fields.append({"weekday", "星期", 1, 7, &PlanSchedule::weekday});
    for (const NumberField& field : fields) {
        const QString text = element.attribute(QString::fromLatin1(field.attribute)).trimmed();
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < field.min || value > field.max) {
            schedule.problem = QStringLiteral("%1“%2”不在%3到%4之间")
                                   .arg(QString::fromUtf8(field.meaning), text)
                                   .arg(field.min)
                                   .arg(field.max);
            return schedule;
        }
        schedule.*field.target = value;
    }
    return schedule;
}

} // namespace kvx
