#include "due_time.h"
#include "platform/xml/xml_document.h"
#include "schedule/schedule.h"
#include "test_main.h"

using namespace kvx;

namespace {

XmlDocument scheduleDocument(const QString& attributes) {
    return XmlDocument::fromString("<uinterface><schedule code='001' " + attributes +
                                   "/></uinterface>");
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
        QString problem;
        const std::optional<ScheduleTiming> timing =
            Schedule::read(scheduleDocument(attributes).root().firstChildElement())
                .timing(&problem);
        QVERIFY2(timing, qPrintable(problem));
        const auto found = DueTime::nextRunAfter(*timing, at(after));
        QTEST(found ? found->toString("yyyy-MM-dd HH:mm") : QString(), "next");
        // Due exactly when the run time lies in the minutes looked at and was not run yet.
        if (found) {
            QCOMPARE(DueTime::dueRun(*timing, at(after), *found, {}), found);
            QCOMPARE(DueTime::lastRunUpTo(*timing, found->addSecs(59)), found);
            QVERIFY(!DueTime::dueRun(*timing, at(after), found->addSecs(-1), {}));
            QVERIFY(!DueTime::dueRun(*timing, *found, found->addSecs(59), {}));
            QVERIFY(!DueTime::dueRun(*timing, at(after), *found, found->addSecs(1)));
        }
    }
};

KVX_TEST_MAIN_CORE(DueTimeTest)
#include "tst_due_time.moc"
