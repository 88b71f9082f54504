#include "catalogue/catalogue.h"
#include "element_outline.h"
#include "schedule/schedule_document.h"
#include "schedule/schedule_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QStringEncoder>

using namespace kvx;
using test::outline;

namespace {

const QString kFolder = QStringLiteral("xml/operation");
const QString kFile = QStringLiteral("xml/operation/schedule.xml");

QByteArray gb2312Document(const QString& body) {
    return QStringEncoder("GB18030").encode("<?xml version='1.0' encoding='gb2312'?>\r\n" + body);
}

// The outlines of the root's schedules, in document order.
QStringList schedulesOf(const XmlDocument& document) {
    QStringList result;
    for (const XmlElement& schedule : document.root().childElements())
        result << outline(schedule);
    return result;
}

Schedule content(const QString& type, QList<ScheduledItem> imports = {},
                 QList<ScheduledItem> exports = {}) {
    return {{},      type,   QDate(2026, 3, 15), QDate(2026, 12, 31), "7", "05", "1", "1", "1",
            imports, exports};
}

const QString kTimes = "begin=2026-03-15,end=2026-12-31,hour=7,minute=05,month=1,day=1,weekday=1";

struct Editor {
    test::TestFolder folder;
    AppFolder app{folder.path()};
    Catalogue catalogue;
    ScheduleDocument document{app};

    Editor() { catalogue.load(app); }
    bool save(const QString& code, const Schedule& c) {
        QString error;
        const bool saved = document.SaveSchedule(code, c, catalogue, &error);
        if (!saved)
            qWarning() << error;
        return saved;
    }
    QStringList saved() const { return schedulesOf(XmlDocument::fromFile(folder.filePath(kFile))); }
};

} // namespace

class ScheduleFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void savesOneScheduleInPlace_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<Schedule>("content");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        const ScheduledItem customer{"客户档案", "添加|已存在时跳过", "y"};
        const ScheduledItem invoice{"销售发票", "", ""};
        QTest::newRow("first save appends, attribute order, both lists")
            << "004" << content("day", {customer}) << 3
            << "schedule(code=004,type=day," + kTimes +
                   ")[import()[客户档案(name=customer,family=基础档案,needexchanged=y,"
                   "operation=添加|已存在时跳过)] export()]";
        QTest::newRow("no frequency: a new schedule has no type")
            << "005" << content("") << 3 << "schedule(code=005," + kTimes + ")[import() export()]";
        QTest::newRow("update in place, import list emptied")
            << "001" << content("week", {}, {invoice}) << 0
            << "schedule(code=001,type=week," + kTimes +
                   ")[import() export()[销售发票(name=saleinvoice,family=销售管理,"
                   "needexchanged=)]]";
        QTest::newRow("no frequency: an existing schedule keeps its type")
            << " 002 " << content("") << 1
            << "schedule(code=002,type=week," + kTimes + ")[import() export()]";
    }
    void savesOneScheduleInPlace() {
        QFETCH(QString, code);
        QFETCH(Schedule, content);
        QFETCH(int, position);
        Editor e;
        const QStringList before = e.saved();
        QVERIFY(e.save(code, content));
        QStringList after = e.saved();
        QTEST(after.value(position), "expected");
        after.removeAt(position);
        QStringList others = before;
        if (position < before.size())
            others.removeAt(position);
        QCOMPARE(after, others); // the other schedules are untouched
        // The editor reads back what it wrote.
        ScheduleDocument reread(e.app);
        QVERIFY(reread.OpenScheduleDocument(ScheduleDocument::Mode::View));
        const auto stored = reread.readSchedule(code.trimmed());
        QVERIFY(stored);
        QCOMPARE(stored->imports, content.imports);
        QCOMPARE(stored->exports, content.exports);
        QCOMPARE(stored->end, content.end);
    }

    // What the plan agent needs to tell when a schedule runs.
    void timingRefusesWhatCannotRun_data() {
        QTest::addColumn<QString>("attributes");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* tag, const char* timing, const char* problem,
                            const char* period = "begin='2026-01-01' end='2026-12-31'") {
            QTest::newRow(tag) << QString(period) + ' ' + timing << QString(problem);
        };
        row("fields the type does not use",
            "type='day' hour='02' minute='30' month='0' day='32' weekday='x'", "");
        row("no type", "hour='1' minute='0'", "执行频率“”无法识别");
        row("month 0 of a yearly run", "type='year' month='0' day='1' hour='1' minute='0'",
            "月份“0”不在1到12之间");
        row("weekday 8", "type='week' weekday='8' hour='1' minute='0'", "星期“8”不在1到7之间");
        row("hour 24", "type='day' hour='24' minute='0'", "时“24”不在0到23之间");
        row("day missing", "type='month' hour='1' minute='0'", "日期“”不在1到31之间");
        row("bad date", "type='day' hour='1' minute='0'", "执行期间的日期无法识别",
            "begin='2026-02-30' end='2026-12-31'");
    }
    void timingRefusesWhatCannotRun() {
        QFETCH(QString, attributes);
        QFETCH(QString, problem);
        const QList<Schedule> schedules = Schedule::readAll(XmlDocument::fromString(
            "<uinterface><schedule code='001' " + attributes +
            "><import><客户档案 operation='添加|x' needexchanged='y'/></import><export><凭证 "
            "operation='x' needexchanged='n'/></export></schedule><schedule/></uinterface>"));
        QCOMPARE(schedules.size(), 1);
        QString found;
        QCOMPARE(bool(schedules[0].timing(&found)), problem.isEmpty());
        QCOMPARE(found, problem);
        // The items are read in any case: a run at once runs them.
        QCOMPARE(schedules[0].imports, (QList<ScheduledItem>{{"客户档案", "添加|x", "y"}}));
        // An export takes no operation, and the editor writes none back.
        QCOMPARE(schedules[0].exports, (QList<ScheduledItem>{{"凭证", "", "n"}}));
        QVERIFY(schedules[0].imports[0].converts() && !schedules[0].exports[0].converts());
    }

    void codesDifferingInCaseAreTwoSchedules() {
        Editor e;
        QVERIFY(e.save("abc", content("day")));
        QVERIFY(e.save("ABC", content("month")));
        QVERIFY(e.save("abc", content("year")));
        QCOMPARE(e.document.codes(), (QStringList{"001", "002", "003", "abc", "ABC"}));
        QCOMPARE(e.document.readSchedule("ABC")->type, "month");
        QCOMPARE(e.document.readSchedule("abc")->type, "year");
    }

    void itemOutsideTheCatalogueKeepsWhatTheFileSaid() {
        Editor e;
        e.folder.write(kFile, gb2312Document("<uinterface><schedule code='001'><import>"
                                             "<旧项目 name='old' family='旧组'/></import>"
                                             "</schedule></uinterface>"));
        QVERIFY(e.save("001", content("day", {{"旧项目", "默认", "n"}, {"新项目", "", ""}})));
        QCOMPARE(e.saved().value(0).section("[", 1),
                 "import()[旧项目(name=old,family=旧组,needexchanged=n,operation=默认) "
                 "新项目(name=,family=,needexchanged=,operation=)] export()]");
    }

    void openingMissingFile() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        QDir().mkpath(folder.filePath(kFolder));
        ScheduleDocument document{AppFolder(folder.path())};
        QString error;
        QVERIFY(!document.OpenScheduleDocument(ScheduleDocument::Mode::View, &error));
        QCOMPARE(error, QDir::toNativeSeparators(folder.filePath(kFile)) + "文件不存在！");
        XmlDocument* created = document.OpenScheduleDocument(ScheduleDocument::Mode::Write);
        QVERIFY(created);
        QCOMPARE(created->toString(),
                 XmlDocument::fromString(ScheduleFile::newFileTemplate()).toString());
        QCOMPARE(created->encoding().toLower(), "gb2312");
    }

    void checksAndMergesBackups_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("oldFile"); // empty: no such file
        QTest::addColumn<QString>("backupName");
        QTest::addColumn<QString>("backup");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QStringList>("schedules"); // of the file afterwards

        const QString shell = "<!--备份--><uinterface><schedule code='zzz'/></uinterface>";
        const QString oldFormat =
            "<uinterface>"
            "<schedule code='abc' type='day'/><Schedule code='ABC' type='week'/>"
            "<schedule code='002' type='month'/>"
            "<import code='ABC' needexchanged='y'><客户档案 name='customer' operation='添加'/>"
            "</import>"
            "<EXPORT code='abc' needexchanged='n'><凭证 name='voucher' porc='x'/></EXPORT>"
            "<import code='999' needexchanged='y'><部门档案/></import>"
            "<import code='002' needexchanged='y'>  </import>"
            "</uinterface>";
        const auto row = [](const char* tag, const char* fileName, const QString& oldFile,
                            const char* backupName, const QString& backup,
                            const QStringList& remaining, const QStringList& schedules) {
            QTest::newRow(tag) << QString(fileName) << oldFile << QString(backupName) << backup
                               << !oldFile.isEmpty() << remaining << schedules;
        };
        row("no file", "schedule.xml", "", "", "", {}, {});
        row("no backup", "schedule.xml", "<uinterface><schedule code='1'/></uinterface>", "", "",
            {"schedule.xml"}, {"schedule(code=1)"});
        row("old format merged; backup named in other letter case", "Schedule.XML", oldFormat,
            "SCHEDULEbak.xml", shell, {"Schedule.XML"},
            {"schedule(code=abc,type=day)[import()[客户档案(name=customer,operation=添加,"
             "needexchanged=y,porc=add)] export()[凭证(name=voucher,porc=x,needexchanged=n)]]",
             "schedule(code=002,type=month)"});
        row("old file with an empty root: the backup as it is", "schedule.xml",
            "<uinterface>\r\n</uinterface>", "scheduleBak.xml", shell, {"schedule.xml"},
            {"schedule(code=zzz)"});
        row("backup beside another file is deleted", "Condition.xml",
            "<condition><schedule code='1'/></condition>", "ConditionBak.xml", shell,
            {"Condition.xml"}, {"schedule(code=1)"});
        row("unreadable backup: both stay", "schedule.xml", oldFormat, "scheduleBak.xml",
            "<uinterface>", {"schedule.xml", "scheduleBak.xml"},
            schedulesOf(XmlDocument::fromString(oldFormat)));
    }
    void checksAndMergesBackups() {
        QFETCH(QString, fileName);
        QFETCH(QString, oldFile);
        QFETCH(QString, backupName);
        QFETCH(QString, backup);
        QFETCH(bool, exists);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, schedules);
        test::TestFolder folder(test::TestFolder::Content::Empty);
        QDir().mkpath(folder.filePath(kFolder));
        if (!oldFile.isEmpty())
            folder.write(kFolder + "/" + fileName, gb2312Document(oldFile));
        if (!backupName.isEmpty())
            folder.write(kFolder + "/" + backupName, gb2312Document(backup));

        QString error;
        QCOMPARE(CheckScheduleFile(folder.filePath(kFolder + "/" + fileName.toLower()), &error),
                 exists);
        QCOMPARE(QDir(folder.filePath(kFolder)).entryList(QDir::Files, QDir::Name), remaining);
        QCOMPARE(error.isEmpty(), remaining.size() < 2); // a merge that failed says why
        if (exists)
            QCOMPARE(schedulesOf(XmlDocument::fromFile(folder.filePath(kFolder + "/" + fileName))),
                     schedules);
    }

    void readOnlyFileIsReplaced() {
        Editor e;
        QFile(e.folder.filePath(kFile)).setPermissions(QFile::ReadOwner);
        QVERIFY(e.save("001", content("day")));
        QVERIFY(QFile::permissions(e.folder.filePath(kFile)) & QFile::WriteOwner);
    }
};

KVX_TEST_MAIN_CORE(ScheduleFileTest)
#include "tst_schedule_file.moc"
