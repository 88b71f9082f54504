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
#include <QSqlQuery>
#include <QUuid>
#include <csignal>
#include <sys/resource.h>

namespace kvx::crash {

namespace {

bool g_diskFull = false;
constexpr int kRecordsPerDocument = 40;

QString copySample(const QString& folder, const QString& relative, const QString& to = {}) {
    const QString target = QDir(folder).filePath(to.isEmpty() ? relative : to);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(QStringLiteral(KVX_SAMPLE_DIR "/") + relative, target);
    return target;
}

QString version(int round) {
    return QString::number(round % 2);
}

// An SQLite file that passes its integrity check and in which the query `unsound` counts no
// row; its summary is the result of the query `summary`.
Inspection inspectDatabase(const QString& path, const QString& unsound, const QString& summary) {
    const QString connection = QUuid::createUuid().toString();
    Inspection inspection;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        const auto value = [&](const QString& sql) {
            return db.open() && query.exec(sql) && query.next() ? query.value(0).toString()
                                                                : query.lastError().text();
        };
        if (const QString integrity = value(QStringLiteral("pragma integrity_check"));
            integrity != QLatin1String("ok"))
            inspection.problem = integrity;
        else if (const QString count = value(unsound); count != QLatin1String("0"))
            inspection.problem = QStringLiteral("%1 rows unsound: %2").arg(count, unsound);
        inspection.summary = value(summary);
    }
    QSqlDatabase::removeDatabase(connection);
    return inspection;
}

// A run is finished only after its three items, so a kill leaves at most the last run
// unfinished, with the items it had, in order.
Inspection inspectHistory(const QString& folder) {
    return inspectDatabase(
        QDir(folder).filePath(QStringLiteral("KVXRunHistory.db")),
        QStringLiteral(
            "select count(*) + (select count(*) from run_items where run_id not in (select id "
            "from runs)) from runs r left join (select run_id, count(*) n, max(position) m from "
            "run_items group by run_id) i on i.run_id = r.id where coalesce(n, 0) <> "
            "coalesce(m, 0) or (outcome = 'completed' and n <> 3) or (outcome <> 'completed' and "
            "(outcome <> 'running' or r.id < (select max(id) from runs)))"),
        QStringLiteral("select count(*) || ' runs' from runs where outcome = 'completed'"));
}

bool appendRun(const QString& folder, int round, QString* message) {
    RunHistory history{AppFolder(folder)};
    aboutToWrite();
    RunHistory::Run run;
    run.started = QDateTime::currentDateTime();
    bool ok = history.beginRun(run);
    RunHistory::Item item;
    item.item = QStringLiteral("客户档案");
    item.file = QStringLiteral("customer%1.xml").arg(round);
    item.outcome = QStringLiteral("exchanged");
    for (item.position = 1; ok && item.position <= 3; ++item.position)
        ok = history.addItem(item);
    ok = ok && history.finishRun(QStringLiteral("completed"), {}, QDateTime::currentDateTime());
    *message = history.takeProblem();
    return ok;
}

// The records of a document have keys that name it ("T<document>/<record>"): all of them are
// in the store, or none.
Inspection inspectStore(const QString& folder) {
    const QString documents =
        QStringLiteral("(select count(*) n from records where record_key like 'T%/%' "
                       "group by substr(record_key, 1, instr(record_key, '/')))");
    return inspectDatabase(QDir(folder).filePath(QStringLiteral("kvx-exchange.sqlite")),
                           QStringLiteral("select count(*) from %1 where n <> %2")
                               .arg(documents)
                               .arg(kRecordsPerDocument),
                           QStringLiteral("select count(*) || ' documents' from ") + documents);
}

bool importDocument(const QString& folder, int round, QString* message) {
    StoreDatabase store;
    if (!store.open(QDir(folder).filePath(QStringLiteral("kvx-exchange.sqlite")), message))
        return false;
    ExchangeService service(store);
    QByteArray body = "<?xml version='1.0' encoding='gb2312'?><ztinterface sender='001' "
                      "roottag='customer' proc='Add'>";
    const QByteArray key =
        "T" + QByteArray::number(round) + QUuid::createUuid().toByteArray() + "/";
    for (int i = 0; i < kRecordsPerDocument; ++i)
        body += "<customer><code>" + key + QByteArray::number(i) + "</code></customer>";
    body += "<opinfo operator='demo' pwd='" +
            PasswordEncryptor().ascPwd(QStringLiteral("demo")).toLatin1() + "'/></ztinterface>";
    aboutToWrite();
    const ExchangeReply reply = service.exchange(body);
    *message = QString::fromUtf8(reply.body);
    return reply.status == 200 && !reply.body.contains("succeed=\"1\"");
}

// A mail holding one sample file under the name "customer.xml".
void prepareMail(const QString& folder, const QString& mail, const QString& sampleFile) {
    Database db;
    QString error;
    openStore(db, QDir(folder).filePath(mail), &error);
    const QString path = copySample(folder, sampleFile, QStringLiteral("customer.xml"));
    StoreDocument(QStringLiteral("0"), path, db);
    QFile::remove(path);
}

bool writeFailedRecords(const QString& folder, int round, QString* message) {
    QFile file(QDir(folder).filePath(QStringLiteral("customer.xml")));
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const int records = XmlOutline::scan(bytes).rootChildCounts.value(QStringLiteral("customer"));
    XmlDocument result = XmlDocument::create(QStringLiteral("result"));
    for (int i = 0; i < records; ++i)
        result.root()
            .appendChild(QStringLiteral("item"))
            .setAttribute(QStringLiteral("succeed"), version(round + i));
    aboutToWrite();
    const FailedRecords failed = FailedRecords::write(
        {file.fileName(), bytes, QStringLiteral("customer"), records, QStringLiteral("code")},
        result);
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
    // A write then fails with EFBIG instead of the signal ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
}

QList<SaveKind> saveKinds() {
    const QString schedule = QStringLiteral("xml/operation/schedule.xml");
    return {
        {QStringLiteral("condition"),
         QStringLiteral("Xml/Operation/Condition.xml"),
         [](const QString& folder) {
             copySample(folder, QStringLiteral("xml/operation/Condition.xml"),
                        QStringLiteral("Xml/Operation/Condition.xml"));
         },
         [](const QString& folder, int round, QString* message) {
             ConditionDocument document{AppFolder(folder)};
             document.OpenConditionDocument(false, message);
             document.StoreConditionItem(
                 QStringLiteral("customer"), QStringLiteral("客户档案"), QStringLiteral("001"),
                 QStringLiteral("D:\\收\\c.xml"), {},
                 {{QStringLiteral("信用额度"), QStringLiteral(">"), version(round), {}, {}}},
                 ItemStructure());
             aboutToWrite();
             return document.WriteConditionFile(message);
         },
         {}},
        {QStringLiteral("schedule"),
         schedule,
         [](const QString& folder) {
             copySample(folder, QStringLiteral("xml/operation/schedule.xml"));
             copySample(folder, QStringLiteral("xml/operation/Dir.xml"));
         },
         [](const QString& folder, int round, QString* message) {
             ScheduleDocument document{AppFolder(folder)};
             document.OpenScheduleDocument(ScheduleDocument::Mode::View);
             Catalogue catalogue;
             catalogue.load(AppFolder(folder));
             Schedule content = *document.readSchedule(QStringLiteral("001"));
             content.hour = version(round);
             aboutToWrite();
             return document.SaveSchedule(QStringLiteral("001"), content, catalogue, message);
         },
         {}},
        {QStringLiteral("schedule-merge"),
         schedule,
         [=](const QString& folder) {
             // An old-format file (the item lists beside the schedules) and the new shell.
             XmlDocument old = XmlDocument::fromFile(copySample(folder, schedule));
             for (XmlElement element : old.root().childElements()) {
                 for (const QString& list : {QStringLiteral("import"), QStringLiteral("export")}) {
                     XmlElement items = element.firstChildElement(list);
                     old.root().appendCopy(items).setAttribute(
                         QStringLiteral("code"), element.attribute(QStringLiteral("code")));
                     items.remove();
                 }
             }
             old.save(QDir(folder).filePath(schedule));
             XmlDocument::fromString(ScheduleFile::newFileTemplate())
                 .save(QDir(folder).filePath(QStringLiteral("xml/operation/scheduleBak.xml")));
         },
         [=](const QString& folder, int, QString* message) {
             aboutToWrite();
             // The file is there; whether the merge was written is told by its message.
             message->clear();
             return CheckScheduleFile(QDir(folder).filePath(schedule), message) &&
                    message->isEmpty();
         },
         {},
         true},
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
                 .setAttribute(QStringLiteral("EnReplace"), version(round));
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
             return PathSettings{QStringLiteral("D:\\接收") + version(round),
                                 QStringLiteral("D:\\发送"), QStringLiteral("true")}
                 .save(AppFolder(folder), message);
         },
         {}},
        {QStringLiteral("received-document"),
         QStringLiteral("import/customer.xml"),
         [](const QString& folder) {
             copySample(folder, QStringLiteral("data/customer.xml"),
                        QStringLiteral("import/customer.xml"));
             prepareMail(folder, QStringLiteral("mail0.db"),
                         QStringLiteral("data/customer_gbk.xml"));
             prepareMail(folder, QStringLiteral("mail1.db"), QStringLiteral("data/vendor.xml"));
         },
         [](const QString& folder, int round, QString* message) {
             Database db;
             db.open(QDir(folder).filePath(QStringLiteral("mail%1.db").arg(version(round))));
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
             copySample(folder, QStringLiteral("data/vendor.xml"),
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
