#pragma once

#include "platform/xml/xml_element.h"

#include <QDate>
#include <QList>
#include <QString>

namespace kvx {

// One exchange item of a schedule as the agent runs it.
struct PlanItem {
    QString label;           // its element name: the item label of the catalogue
    QString operation;       // imports: the operation string
    bool conversion = false; // needexchanged "y"

    bool operator==(const PlanItem&) const = default;
};

// A schedule element of the schedule file, checked for what the agent needs to run it.
struct PlanSchedule {
    enum class Type { Year, Month, Week, Day };

    QString code;
    Type type = Type::Day;
    QDate begin; // the period in force, both days included
    QDate end;
    int hour = 0;
    int minute = 0;
    int month = 1;   // yearly
    int day = 1;     // yearly and monthly
    int weekday = 1; // weekly: 1 Monday to 7 Sunday
    QList<PlanItem> imports;
    QList<PlanItem> exports;
    // Why the agent cannot tell when it runs: an unknown type, a missing or malformed date,
    // or a number its type uses outside its range. Empty when it can; its items can be run
    // at once all the same.
    QString problem;

    static PlanSchedule read(const XmlElement& schedule);
};

} // namespace kvx
