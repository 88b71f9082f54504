// Fuzz target: the schedule file (with, as the input's second part, a backup beside it that the
// upgrade merge takes in) as the plan agent reads it and as the schedule editor reads it, saves
// a schedule into it and reads it back.
#include "catalogue/catalogue.h"
#include "due_time.h"
#include "fuzz_support.h"
#include "schedule/schedule.h"
#include "schedule/schedule_document.h"

#include <QDir>

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> files = fuzz::parts(fuzz::input(data, size), 2);
    QDir(fuzz::scratch() + QStringLiteral("/xml")).removeRecursively();
    fuzz::put(QStringLiteral("xml/operation/schedule.xml"), files[0]);
    if (!files[1].isEmpty())
        fuzz::put(QStringLiteral("xml/operation/scheduleBak.xml"), files[1]);

    const QDateTime now(QDate(2026, 12, 6), QTime(10, 0));
    for (const Schedule& schedule : Schedule::readAll(XmlDocument::fromBytes(files[0]))) {
        if (const std::optional<ScheduleTiming> timing = schedule.timing()) {
            DueTime::nextRunAfter(*timing, now);
            DueTime::dueRun(*timing, now.addDays(-40), now, now.addDays(-3));
        }
    }

    ScheduleDocument editor{AppFolder(fuzz::scratch())};
    if (!editor.OpenScheduleDocument(ScheduleDocument::Mode::View))
        return 0;
    const QStringList codes = editor.codes();
    for (const QString& code : codes)
        editor.readSchedule(code);
    const QString code = codes.value(0, QStringLiteral("003")).trimmed();
    Schedule content = editor.readSchedule(code).value_or(Schedule{});
    content.imports.append(
        {QStringLiteral("客户"), QStringLiteral("添加|覆盖"), QStringLiteral("y")});
    QString error;
    fuzz::check(editor.SaveSchedule(code, content, Catalogue(), &error), "a schedule is saved",
                error);
    ScheduleDocument again{AppFolder(fuzz::scratch())};
    fuzz::check(again.OpenScheduleDocument(ScheduleDocument::Mode::View),
                "a saved schedule file loads again");
    const std::optional<Schedule> saved = again.readSchedule(code);
    fuzz::check(saved && saved->imports == content.imports && saved->exports == content.exports &&
                    saved->hour == content.hour,
                "the saved schedule reads back");
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>& files) {
    // Besides the sample's file, an old-format file with a backup beside it.
    return QList<QByteArray>(files)
           << QByteArrayList{"<?xml version='1.0' encoding='gb2312'?><root><schedule code='003' "
                             "type='week' "
                             "begin='2026-01-01' end='2026-12-31' hour='8' minute='0' weekday='1'/>"
                             "<import code='003' needexchanged='y'><\xBF\xCD\xBB\xA7 "
                             "name='customer'/>"
                             "</import><export code='003' needexchanged='n'/></root>",
                             "<?xml version='1.0' "
                             "encoding='gb2312'?><!--\xBC\xC6\xBB\xAE--><uinterface/>"}
                  .join(kSeparator);
}
