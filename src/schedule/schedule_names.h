#pragma once

#include <QString>

// The names of the schedule file's elements and attributes and the texts of its values, for
// everything that reads or writes the file.
namespace kvx::ScheduleNames {

inline const QString kSchedule = QStringLiteral("schedule");
inline const QString kCode = QStringLiteral("code");
inline const QString kType = QStringLiteral("type");
inline const QString kBegin = QStringLiteral("begin");
inline const QString kEnd = QStringLiteral("end");
inline const QString kHour = QStringLiteral("hour");
inline const QString kMinute = QStringLiteral("minute");
inline const QString kMonth = QStringLiteral("month");
inline const QString kDay = QStringLiteral("day");
inline const QString kWeekday = QStringLiteral("weekday");
// The lists of a schedule (and, in the old format, of the root).
inline const QString kImport = QStringLiteral("import");
inline const QString kExport = QStringLiteral("export");
// The attributes of a list's items; "porc" only between an upgrade merge and the next save.
inline const QString kName = QStringLiteral("name");
inline const QString kFamily = QStringLiteral("family");
inline const QString kNeedExchanged = QStringLiteral("needexchanged");
inline const QString kOperation = QStringLiteral("operation");
inline const QString kPorc = QStringLiteral("porc");
inline const QString kPorcAdded = QStringLiteral("add");

// The values of `type`, of `needexchanged` when the items are converted, and the dates'
// format.
inline const QString kTypeYear = QStringLiteral("year");
inline const QString kTypeMonth = QStringLiteral("month");
inline const QString kTypeWeek = QStringLiteral("week");
inline const QString kTypeDay = QStringLiteral("day");
inline const QString kConverted = QStringLiteral("y");
inline const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

} // namespace kvx::ScheduleNames
