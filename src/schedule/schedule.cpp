#include "schedule/schedule.h"

#include "platform/xml/xml_document.h"
#include "schedule/schedule_names.h"

namespace kvx {

using namespace ScheduleNames;

namespace {

const QList<QPair<QString, ScheduleFrequency>> kFrequencies = {
    {kTypeYear, ScheduleFrequency::Year},
    {kTypeMonth, ScheduleFrequency::Month},
    {kTypeWeek, ScheduleFrequency::Week},
    {kTypeDay, ScheduleFrequency::Day}};

// Exports take no operation: one written beside an export item by another program means
// nothing and is not read.
QList<ScheduledItem> readItems(const XmlElement& list, bool withOperation) {
    QList<ScheduledItem> items;
    for (const XmlElement& item : list.childElements())
        items.append({item.name(), withOperation ? item.attribute(kOperation) : QString(),
                      item.attribute(kNeedExchanged)});
    return items;
}

struct NumberField {
    const char* meaning;
    int min;
    int max;
    QString Schedule::*text;
    int ScheduleTiming::*value;
};

} // namespace

bool ScheduledItem::converts() const {
    return conversion == kConverted;
}

Schedule Schedule::read(const XmlElement& element) {
    Schedule schedule;
    schedule.code = element.attribute(kCode);
    schedule.type = element.attribute(kType);
    schedule.begin = QDate::fromString(element.attribute(kBegin), kDateFormat);
    schedule.end = QDate::fromString(element.attribute(kEnd), kDateFormat);
    schedule.hour = element.attribute(kHour);
    schedule.minute = element.attribute(kMinute);
    schedule.month = element.attribute(kMonth);
    schedule.day = element.attribute(kDay);
    schedule.weekday = element.attribute(kWeekday);
    schedule.imports = readItems(element.firstChildElement(kImport), true);
    schedule.exports = readItems(element.firstChildElement(kExport), false);
    return schedule;
}

QList<Schedule> Schedule::readAll(const XmlDocument& document) {
    QList<Schedule> schedules;
    for (const XmlElement& element : document.root().childElements()) {
        if (element.name() == kSchedule && element.hasAttribute(kCode))
            schedules.append(read(element));
    }
    return schedules;
}

std::optional<ScheduleFrequency> Schedule::frequency() const {
    for (const auto& [text, frequency] : kFrequencies) {
        if (type == text)
            return frequency;
    }
    return std::nullopt;
}

QString Schedule::typeOf(ScheduleFrequency frequency) {
    for (const auto& [text, known] : kFrequencies) {
        if (known == frequency)
            return text;
    }
    return {};
}

std::optional<ScheduleTiming> Schedule::timing(QString* problem) const {
    const auto refuse = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    ScheduleTiming timing;
    const std::optional<ScheduleFrequency> known = frequency();
    if (!known)
        return refuse(QStringLiteral("执行频率“%1”无法识别").arg(type));
    timing.frequency = *known;
    if (!begin.isValid() || !end.isValid())
        return refuse(QStringLiteral("执行期间的日期无法识别"));
    timing.begin = begin;
    timing.end = end;
    QList<NumberField> fields = {{"时", 0, 23, &Schedule::hour, &ScheduleTiming::hour},
                                 {"分", 0, 59, &Schedule::minute, &ScheduleTiming::minute}};
    if (timing.frequency == ScheduleFrequency::Year)
        fields.append({"月份", 1, 12, &Schedule::month, &ScheduleTiming::month});
    if (timing.frequency == ScheduleFrequency::Year || timing.frequency == ScheduleFrequency::Month)
        fields.append({"日期", 1, 31, &Schedule::day, &ScheduleTiming::day});
    if (timing.frequency == ScheduleFrequency::Week)
        fields.append({"星期", 1, 7, &Schedule::weekday, &ScheduleTiming::weekday});
    for (const NumberField& field : fields) {
        const QString text = (this->*field.text).trimmed();
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok || value < field.min || value > field.max) {
            return refuse(QStringLiteral("%1“%2”不在%3到%4之间")
                              .arg(QString::fromUtf8(field.meaning), text)
                              .arg(field.min)
                              .arg(field.max));
        }
        timing.*field.value = value;
    }
    return timing;
}

} // namespace kvx
