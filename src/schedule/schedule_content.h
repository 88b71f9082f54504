#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace kvx {

// One entry of a schedule's import or export list.
struct ScheduledItem {
    QString label;      // the item's element name in the catalogue
    QString operation;  // imports: the operation string; empty when none was chosen
    QString conversion; // "y", "n", or empty when the box was never touched

    bool operator==(const ScheduledItem&) const = default;
};

// One sender code's schedule as the editor shows and writes it. The numbers are the texts of
// the editor's spin fields, written as they stand.
struct ScheduleContent {
    QString type; // "year", "month", "week", "day"; empty: no frequency chosen
    QDate begin;
    QDate end;
    QString hour;
    QString minute;
    QString month;
    QString day;
    QString weekday;
    QList<ScheduledItem> imports;
    QList<ScheduledItem> exports;
};

} // namespace kvx
