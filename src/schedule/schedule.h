#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

namespace kvx {

class XmlDocument;
class XmlElement;

// One entry of a schedule's import or export list.
struct ScheduledItem {
    QString label;      // the item's element name in the catalogue
    QString operation;  // imports: the operation string; empty when none was chosen
    QString conversion; // "y", "n", or empty when the box was never touched

    // Its values go through the mapping table.
    bool converts() const;
    bool operator==(const ScheduledItem&) const = default;
};

enum class ScheduleFrequency { Year, Month, Week, Day };

// When a schedule runs, its numbers checked against what its frequency uses.
struct ScheduleTiming {
    ScheduleFrequency frequency = ScheduleFrequency::Day;
    QDate begin; // the period in force, both days included
    QDate end;
    int hour = 0;
    int minute = 0;
    int month = 1;   // yearly
    int day = 1;     // yearly and monthly
    int weekday = 1; // weekly: 1 Monday to 7 Sunday
};

// One schedule of the schedule file: what the editor shows and writes and the plan agent
// runs. The numbers are the texts the editor's spin fields wrote (a leading zero the
// operator typed stays); timing() reads them as numbers.
struct Schedule {
    QString code;
    QString type; // "year", "month", "week", "day"; anything else: no frequency
    QDate begin;  // invalid when missing or malformed
    QDate end;
    QString hour;
    QString minute;
    QString month;
    QString day;
    QString weekday;
    QList<ScheduledItem> imports;
    QList<ScheduledItem> exports;

    // A `schedule` element with the items of its `import` and `export` children.
    static Schedule read(const XmlElement& element);
    // The schedules of a schedule file's root that have a code, in document order.
    static QList<Schedule> readAll(const XmlDocument& document);

    std::optional<ScheduleFrequency> frequency() const;
    static QString typeOf(ScheduleFrequency frequency);
    // When the schedule runs; nothing, with *problem, when that cannot be told: an unknown
    // type, a missing or malformed date, or a number its frequency uses out of range. The
    // numbers a frequency does not use may hold anything.
    std::optional<ScheduleTiming> timing(QString* problem = nullptr) const;
};

} // namespace kvx
