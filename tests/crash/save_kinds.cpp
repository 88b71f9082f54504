#include "save_kinds.h"

#include "catalogue/catalogue.h"
#include "conditions/condition_document.h"
#include "conditions/item_structure.h"
#include "documents/failed_records.h"
#include "history/run_history.h"
#include "mail/received_data_store.h"
#include "platform/database.h"
#include "platform/password_encryptor.h"
#include "platform/xml/xml_outline.h"
#include "replace/replace_document.h"
#include "schedule/schedule_document.h"
#include "schedule/schedule_file.h"
#include "server/demo_seed.h"
#include "server/exchange_service.h"
#include "server/store_database.h"
#include "settings/login_settings.h"
#include "settings/path_settings.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <csignal>
#include <sys/resource.h>

namespace kvx::crash {

namespace {

bool g_diskFull = false;
constexpr int kRecordsPerDocument = 40;

QString sample(const QString& relative) {
    return QStringLiteral(KVX_SAMPLE_DIR "/") + relative;
}

void copySample(const QString& folder, const QString& relative, const QString& to = {}) {
    const QString target = QDir(folder).filePath(to.isEmpty() ? relative : to);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(sample(relative), target);
}

QString version(int round) {
    return QString::number(round % 2);
}

// A connection of its own to an SQLite file, for inspecting it; closed with the object.
class Inspector {
public:
    explicit Inspector(const QString& path)
        : m_name(QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Inspector() { QSqlDatabase::removeDatabase(m_name); }
    QList<QVariantList> rows(const QString& sql) const {
        QSqlQuery query(QSqlDatabase::database(m_name));
        QList<QVariantList> rows;
        for (query.exec(sql); query.next();) {
            rows.append(QVariantList());
            for (int i = 0; i < query.record().count(); ++i)
                rows.last().append(query.value(i));
        }
        return rows;
    }
    QString integrity() const {
        const QList<QVariantList> result = rows(QStringLiteral("pragma integrity_check"));
        return result.isEmpty() ? QStringLiteral("不能读取") : result.first().first().toString();
    }

private:
    QString m_name;
};

// The runs each hold three items; a run is finished only after its items, so a kill leaves at
// most the last run unfinished, with the items it had.
Inspection inspectHistory(const QString& folder) {
    const Inspector history(QDir(folder).filePath(QStringLiteral("KVXRunHistory.db")));
    if (history.integrity() != QLatin1String("ok"))
        return {{}, history.integrity()};
    const QList<QVariantList> runs = history.rows(
        QStringLiteral("select r.id, r.outcome, count(i.id), coalesce(max(i.position), 0) "
                       "from runs r left join run_items i on i.run_id = r.id group by r.id "
                       "order by r.id"));
    if (!history
             .rows(QStringLiteral(
                 "select id from run_items where run_id not in (select id from runs)"))
             .isEmpty())
        return {{}, QStringLiteral("有不属于任何运行的项目")};
    int finished = 0;
    for (const QVariantList& run : runs) {
        const bool last = &run == &runs.last();
        const int items = run[2].toInt();
        if (items != run[3].toInt())
            return {{}, QStringLiteral("运行%1的项目不连续").arg(run[0].toString())};
        if (run[1] == QLatin1String("completed") && items == 3)
            ++finished;
        else if (!last || run[1] != QLatin1String("running"))
            return {{},
                    QStringLiteral("运行%1只记了一半（%2，%3项）")
                        .arg(run[0].toString(), run[1].toString())
                        .arg(items)};
    }
    return {QStringLiteral("%1 runs").arg(finished), {}};
}

bool appendRun(const QString& folder, int round, QString* message) {
    RunHistory history{AppFolder(folder)};
    aboutToWrite();
    RunHistory::Run run;
    run.started = QDateTime::currentDateTime();
    run.operatorName = QStringLiteral("演示");
    bool ok = history.beginRun(run);
    RunHistory::Item item;
    item.item = QStringLiteral("客户档案");
    item.file = QStringLiteral("customer%1.xml").arg(round);
    item.outcome = QStringLiteral("exchanged");
    item.report = QStringLiteral("导入、导出成功！");
    for (item.position = 1; ok && item.position <= 3; ++item.position)
        ok = history.addItem(item);
    ok = ok && history.finishRun(QStringLiteral("completed"), {}, QDateTime::currentDateTime());
    *message = history.takeProblem();
    return ok;
}

// Each document imports kRecordsPerDocument records whose keys name it: all of them are in
// the store, or none.
Inspection inspectStore(const QString& folder) {
    const Inspector store(QDir(folder).filePath(QStringLiteral("kvx-exchange.sqlite")));
    if (store.integrity() != QLatin1String("ok"))
        return {{}, store.integrity()};
    const QList<QVariantList> documents = store.rows(QStringLiteral(
        "select substr(record_key, 1, instr(record_key, '/')), count(*) from records "
        "where record_key like 'T%/%' group by 1"));
    for (const QVariantList& document : documents) {
        if (document[1].toInt() != kRecordsPerDocument)
            return {{},
                    QStringLiteral("文档%1只存入了%2条记录")
                        .arg(document[0].toString(), document[1].toString())};
    }
    return {QStringLiteral("%1 documents").arg(documents.size()), {}};
}

bool importDocument(const QString& folder, int round, QString* message) {
    StoreDatabase store;
    if (!store.open(QDir(folder).filePath(QStringLiteral("kvx-exchange.sqlite")), message))
        return false;
    ExchangeService service(store);
    QByteArray body = "<?xml version='1.0' encoding='gb2312'?><ztinterface sender='001' "
                      "roottag='customer' proc='Add'>";
    const QByteArray key =
        "T" + QUuid::createUuid().toByteArray(QUuid::Id128) + QByteArray::number(round) + "/";
    for (int i = 0; i < kRecordsPerDocument; ++i)
        body +=
            "<customer><code>" + key + QByteArray::number(i) + "</code><name>N</name></customer>";
    body += "<opinfo operator='demo' pwd='" +
            PasswordEncryptor().ascPwd(QStringLiteral("demo")).toLatin1() +
            "' date='2026-12-06'/></ztinterface>";
    aboutToWrite();
    const ExchangeReply reply = service.exchange(body);
    *message = QString::fromUtf8(reply.body);
    return reply.status == 200 && !reply.body.contains("succeed=\"1\"");
}

// A mail of one document, "customer.xml", with the version in its sender.
void prepareMail(const QString& folder, int version) {
    Database db;
    QString error;
    openStore(db, QDir(folder).filePath(QStringLiteral("mail%1.db").arg(version)), &error);
    QFile file(sample(QStringLiteral("data/customer.xml")));
    file.open(QIODevice::ReadOnly);
    const QByteArray document = file.readAll().replace(
        "sender=\"001\"", "sender=\"00" + QByteArray::number(version) + "\"");
    const QString path = QDir(folder).filePath(QStringLiteral("customer.xml"));
    AppFolder::writeAtomically(path, document);
    StoreDocument(QStringLiteral("0"), path, db);
    QFile::remove(path);
}

bool writeFailedRecords(const QString& folder, int round, QString* message) {
    const QString path = QDir(folder).filePath(QStringLiteral("customer.xml"));
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const int records = XmlOutline::scan(bytes).rootChildCounts.value(QStringLiteral("customer"));
    XmlDocument result = XmlDocument::create(QStringLiteral("result"));
    for (int i = 0; i < records; ++i)
        result.root()
            .appendChild(QStringLiteral("item"))
            .setAttribute(QStringLiteral("succeed"),
                          i % 2 == round % 2 ? QStringLiteral("1") : QStringLiteral("0"));
    aboutToWrite();
    const FailedRecords failed = FailedRecords::write(
        {path, bytes, QStringLiteral("customer"), records, QStringLiteral("code")}, result);
    *message = failed.reason;
    return failed.outcome == FailedRecords::Outcome::Written;
}

} // namespace

void setDiskFullOnWrite() {
    g_diskFull = true;
}

void aboutToWrite() {
    if (!g_diskFull)
        return;
    // The write fails with EFBIG instead of the signal ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
}

QList<SaveKind> saveKinds() {
    const auto condition = QStringLiteral("Xml/Operation/Condition.xml");
    const auto schedule = QStringLiteral("xml/operation/schedule.xml");
    return {
        {QStringLiteral("condition"),
         condition,
         [=](const QString& folder) {
             copySample(folder, QStringLiteral("xml/operation/Condition.xml"), condition);
         },
         [](const QString& folder, int round, QString* message) {
             ConditionDocument document{AppFolder(folder)};
             document.OpenConditionDocument(false, message);
             document.StoreConditionItem(QStringLiteral("customer"), QStringLiteral("客户档案"),
                                         QStringLiteral("001"),
                                         QStringLiteral("D:\\收\\%1.xml").arg(round % 2), {},
                                         {{QStringLiteral("信用额度"), QStringLiteral(">"),
                                           version(round), QString(), QStringLiteral("小数")}},
                                         ItemStructure());
             aboutToWrite();
             return document.WriteConditionFile(message);
         },
         {}},
        {QStringLiteral("schedule"),
         schedule,
         [=](const QString& folder) {
             copySample(folder, QStringLiteral("xml/operation/schedule.xml"));
             copySample(folder, QStringLiteral("xml/operation/Dir.xml"));
         },
         [](const QString& folder, int round, QString* message) {
             ScheduleDocument document{AppFolder(folder)};
             document.OpenScheduleDocument(ScheduleDocument::Mode::View);
             Catalogue catalogue;
             catalogue.load(AppFolder(folder));
             ScheduleContent content = *document.readSchedule(QStringLiteral("001"));
             content.hour = version(round);
             aboutToWrite();
             return document.SaveSchedule(QStringLiteral("001"), content, catalogue, message);
         },
         {}},
        {QStringLiteral("schedule-merge"),
         schedule,
         [=](const QString& folder) {
             // An old-format file (its item lists beside the schedules) and the new shell.
             QDir(folder).mkpath(QStringLiteral("xml/operation"));
             XmlDocument old =
                 XmlDocument::fromFile(sample(QStringLiteral("xml/operation/schedule.xml")));
             for (XmlElement element : old.root().childElements()) {
                 for (const QString& list : {QStringLiteral("import"), QStringLiteral("export")}) {
                     XmlElement items = element.firstChildElement(list);
                     XmlElement moved = old.root().appendCopy(items);
                     moved.setAttribute(QStringLiteral("code"),
                                        element.attribute(QStringLiteral("code")));
                     moved.setAttribute(QStringLiteral("needexchanged"), QStringLiteral("y"));
                     items.remove();
                 }
             }
             old.save(QDir(folder).filePath(schedule));
             XmlDocument::fromString(ScheduleFile::newFileTemplate())
                 .save(QDir(folder).filePath(QStringLiteral("xml/operation/scheduleBak.xml")));
         },
         [=](const QString& folder, int, QString*) {
             aboutToWrite();
             return CheckScheduleFile(QDir(folder).filePath(schedule));
         },
         {},
         true,
         false},
        {QStringLiteral("replace"),
         QStringLiteral("xml/operation/replace.xml"),
         [](const QString& folder) {
             copySample(folder, QStringLiteral("xml/operation/replace.xml"));
         },
         [](const QString& folder, int round, QString* message) {
             ReplaceDocument document;
             document.load(AppFolder(folder), message);
             document.entry(QStringLiteral("voucher"))
                 .firstChildElement(QStringLiteral("Item"))
                 .setAttribute(QStringLiteral("EnReplace"),
                               round % 2 ? QStringLiteral("Y") : QStringLiteral("N"));
             aboutToWrite();
             return document.save(message);
         },
         {}},
        {QStringLiteral("login-settings"),
         QStringLiteral("LoginWan.ini"),
         [](const QString& folder) {
             LoginSettings{QStringLiteral("http://old/"), QStringLiteral("旧"), {}, {}}.save(
                 AppFolder(folder));
         },
         [](const QString& folder, int round, QString* message) {
             aboutToWrite();
             return LoginSettings{QStringLiteral("http://127.0.0.1:8765/"),
                                  QStringLiteral("张三") + version(round), QStringLiteral("a1b2c3"),
                                  QStringLiteral("2026-12-06")}
                 .save(AppFolder(folder), message);
         },
         {}},
        {QStringLiteral("path-settings"),
         QStringLiteral("xml.ini"),
         [](const QString& folder) {
             PathSettings::defaults(AppFolder(folder)).save(AppFolder(folder));
         },
         [](const QString& folder, int round, QString* message) {
             aboutToWrite();
             return PathSettings{QStringLiteral("D:\\接收%1\\").arg(round % 2),
                                 QStringLiteral("D:\\发送\\"), QStringLiteral("true")}
                 .save(AppFolder(folder), message);
         },
         {}},
        {QStringLiteral("received-document"),
         QStringLiteral("import/customer.xml"),
         [](const QString& folder) {
             copySample(folder, QStringLiteral("data/customer.xml"),
                        QStringLiteral("import/customer.xml"));
             prepareMail(folder, 0);
             prepareMail(folder, 1);
         },
         [](const QString& folder, int round, QString* message) {
             Database db;
             db.open(QDir(folder).filePath(QStringLiteral("mail%1.db").arg(round % 2)));
             aboutToWrite();
             const ExtractOutcome outcome =
                 ExtractDocuments(db, QDir(folder).filePath(QStringLiteral("import")));
             *message = outcome.error;
             return outcome.ok() && outcome.written.size() == 1;
         },
         {}},
        {QStringLiteral("failed-records"),
         QStringLiteral("customer.failed.xml"),
         [](const QString& folder) {
             copySample(folder, QStringLiteral("data/customer.xml"),
                        QStringLiteral("customer.xml"));
             copySample(folder, QStringLiteral("data/department.xml"),
                        QStringLiteral("customer.failed.xml"));
         },
         writeFailedRecords,
         {}},
        {QStringLiteral("run-history"), QStringLiteral("KVXRunHistory.db"),
         [](const QString& folder) {
             QString message;
             appendRun(folder, 0, &message);
         },
         appendRun, inspectHistory},
        {QStringLiteral("server-import"), QStringLiteral("kvx-exchange.sqlite"),
         [](const QString& folder) {
             StoreDatabase store;
             store.open(QDir(folder).filePath(QStringLiteral("kvx-exchange.sqlite")));
             seedDemoData(store, QDate(2026, 12, 6));
         },
         importDocument, inspectStore},
    };
}

} // namespace kvx::crash
