#include "due_time.h"
#include "plan_schedule.h"
#include "test_main.h"

using namespace kvx;

namespace {

XmlDocument scheduleDocument(const QString& attributes) {
    return XmlDocument::fromString("<uinterface><schedule code='001' " + attributes +
                                   "><import><客户档案 operation='添加|x' needexchanged='y'/>"
                                   "</import><export><凭证 needexchanged='n'/></export>"
                                   "</schedule></uinterface>");
}

QDateTime at(const QString& text) {
    return QDateTime::fromString(text, "yyyy-MM-dd HH:mm");
}

} // namespace

class DueTimeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nextRun_data() {
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("next"); // empty: none
        const QString period = "begin='2020-01-01' end='2030-12-31' ";
        auto row = [&](const char* name, const QString& attributes, const QString& after,
                       const QString& next) {
            QTest::newRow(name) << period + attributes << after << next;
        };
        row("day: a minute before", "type='day' hour='9' minute='30'", "2026-03-15 09:29",
            "2026-03-15 09:30");
        row("day: strictly after", "type='day' hour='9' minute='30'", "2026-03-15 09:30",
            "2026-03-16 09:30");
        row("day: across the year end", "type='day' hour='0' minute='0'", "2026-12-31 00:00",
            "2027-01-01 00:00");
        row("week: Friday", "type='week' weekday='5' hour='22' minute='0' day='99'",
            "2026-03-15 12:00", "2026-03-20 22:00");
        row("week: Monday across the year end", "type='week' weekday='1' hour='8' minute='05'",
            "2026-12-30 08:00", "2027-01-04 08:05");
        row("week: Sunday is 7", "type='week' weekday='7' hour='8' minute='0'", "2026-03-14 08:00",
            "2026-03-15 08:00");
        row("month: 31st falls on April 30", "type='month' day='31' hour='23' minute='45'",
            "2026-04-01 00:00", "2026-04-30 23:45");
        row("month: 31st in a leap February", "type='month' day='31' hour='1' minute='0'",
            "2024-02-01 00:00", "2024-02-29 01:00");
        row("month: 30th in a common February", "type='month' day='30' hour='1' minute='0'",
            "2023-02-01 00:00", "2023-02-28 01:00");
        row("month: past the run of January 31", "type='month' day='31' hour='23' minute='45'",
            "2026-01-31 23:45", "2026-02-28 23:45");
        row("month: 28th", "type='month' day='28' hour='23' minute='45'", "2026-03-15 00:00",
            "2026-03-28 23:45");
        row("year: February 29 in a leap year",
            "type='year' month='2' day='29' hour='6' minute='0'", "2023-03-01 00:00",
            "2024-02-29 06:00");
        row("year: February 29 in a common year",
            "type='year' month='2' day='29' hour='6' minute='0'", "2024-02-29 06:00",
            "2025-02-28 06:00");
        row("year: last minute of the year",
            "type='year' month='12' day='31' hour='23' minute='59'", "2026-12-31 23:59",
            "2027-12-31 23:59");
        row("year: 31st of a 30-day month", "type='year' month='9' day='31' hour='7' minute='0'",
            "2026-01-01 00:00", "2026-09-30 07:00");
        QTest::newRow("begin: first day of the period")
            << "type='day' hour='9' minute='0' begin='2026-04-01' end='2026-12-31'"
            << "2026-03-15 10:00"
            << "2026-04-01 09:00";
        QTest::newRow("end: its day is included")
            << "type='day' hour='23' minute='0' begin='2026-01-01' end='2026-03-15'"
            << "2026-03-15 10:00"
            << "2026-03-15 23:00";
        QTest::newRow("end: period over")
            << "type='day' hour='9' minute='0' begin='2026-01-01' end='2026-03-15'"
            << "2026-03-15 10:00"
            << "";
        QTest::newRow("end: a yearly run beyond the end")
            << "type='year' month='6' day='1' hour='9' minute='0' begin='2026-01-01' "
               "end='2027-05-31'"
            << "2026-06-01 09:00"
            << "";
        QTest::newRow("begin after end")
            << "type='day' hour='9' minute='0' begin='2026-05-01' end='2026-04-01'"
            << "2026-03-15 10:00"
            << "";
    }
    void nextRun() {
        QFETCH(QString, attributes);
        QFETCH(QString, after);
        QFETCH(QString, next);
        const XmlDocument document = scheduleDocument(attributes);
        const PlanSchedule schedule = PlanSchedule::read(document.root().firstChildElement());
        QVERIFY2(schedule.problem.isEmpty(), qPrintable(schedule.problem));
        const auto found = DueTime::nextRunAfter(schedule, at(after));
        QCOMPARE(found ? found->toString("yyyy-MM-dd HH:mm") : QString(), next);
        // Due exactly when the run time lies in the minutes looked at.
        if (found) {
            QVERIFY(DueTime::isDue(schedule, at(after), *found));
            QVERIFY(!DueTime::isDue(schedule, at(after), found->addSecs(-1)));
            QVERIFY(!DueTime::isDue(schedule, *found, found->addSecs(59)));
        }
    }

    void readsItemsAndRefusesWhatCannotRun_data() {
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QString>("problem");
        const QString period = "begin='2026-01-01' end='2026-12-31' ";
        QTest::newRow("fields the type does not use")
            << period + "type='day' hour='02' minute='30' "
                        "month='0' day='32' weekday='x'"
            << "";
        QTest::newRow("no type") << period + "hour='1' minute='0'"
                                 << "执行频率“”无法识别";
        QTest::newRow("month 0 of a yearly run")
            << period + "type='year' month='0' day='1' hour='1' minute='0'"
            << "月份“0”不在1到12之间";
        QTest::newRow("weekday 8") << period + "type='week' weekday='8' hour='1' minute='0'"
                                   << "星期“8”不在1到7之间";
        QTest::newRow("hour 24") << period + "type='day' hour='24' minute='0'"
                                 << "时“24”不在0到23之间";
        QTest::newRow("day missing") << period + "type='month' hour='1' minute='0'"
                                     << "日期“”不在1到31之间";
        QTest::newRow("bad date") << "begin='2026-02-30' end='2026-12-31' type='day' hour='1' "
                                     "minute='0'"
                                  << "执行期间的日期无法识别";
    }
    void readsItemsAndRefusesWhatCannotRun() {
        QFETCH(QString, attributes);
        QFETCH(QString, problem);
        const XmlDocument document = scheduleDocument(attributes);
        const PlanSchedule schedule = PlanSchedule::read(document.root().firstChildElement());
        QCOMPARE(schedule.problem, problem);
        // The items are read in any case: --run-now runs them.
        QCOMPARE(schedule.imports, (QList<PlanItem>{{"客户档案", "添加|x", true}}));
        QCOMPARE(schedule.exports, (QList<PlanItem>{{"凭证", "", false}}));
    }
};

KVX_TEST_MAIN_CORE(DueTimeTest)
#include "tst_due_time.moc"
