#include "mail/mail_contents.h"
#include "mail/received_data_store.h"
#include "platform/database.h"
#include "platform/mail/mail_config.h"
#include "platform/xml/xml_document.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;
using test::TestFolder;

namespace {

const QByteArray kDeclaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n";

// An interface document file with the root's attributes and content.
QByteArray document(const QByteArray& rootAttributes, const QByteArray& body) {
    return kDeclaration + "<ztinterface sender=\"001\" " + rootAttributes + ">" + body +
           "</ztinterface>\n";
}

QByteArray bigRecords(int count, int size) {
    QByteArray body;
    for (int i = 0; i < count; ++i)
        body += "\n  <rec n=\"" + QByteArray::number(i) + "\">" + QByteArray(size, 'x') + "</rec>";
    return body + "\n";
}

// The type of every row in table order, marked "?" when the database could take its text
// for a number (it does not start with "<").
QStringList rows(const QString& databasePath) {
    Database db;
    bool ok = false;
    db.open(databasePath);
    QStringList result;
    for (RecordSet set = db.query("select * from KVXXml", {}, &ok); !set.atEnd(); set.moveNext())
        result.append(set.field("type") + (set.field("texts").startsWith('<') ? "" : "?"));
    return result;
}

} // namespace

class ReceivedDataStoreTest : public QObject {
    Q_OBJECT

    struct Fixture {
        TestFolder folder{TestFolder::Content::Empty};
        QString database = folder.filePath("mail.db");
        QString importPath = folder.filePath("in");
        Fixture() { QDir().mkpath(importPath); }
        QString write(const QString& name, const QByteArray& bytes) const {
            folder.write("out/" + name, bytes);
            return folder.filePath("out/" + name);
        }
    };

private Q_SLOTS:
    // The whole document below 64000 characters of XML is one "all" row; from 64000 it is a
    // title and one data row per child, and either way the document arrives whole.
    void documentsArriveWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("lengthOfXml"); // 0: as it is
        QTest::addColumn<QString>("types");
        QTest::addColumn<QString>("receivedName");
        const QByteArray padded = document("roottag=\"rec\" pad=\"\"", bigRecords(2, 10));
        const auto row = [](const char* tag, const char* name, const QByteArray& file,
                            int lengthOfXml, const char* types,
                            const char* receivedName = nullptr) {
            QTest::newRow(tag) << QString(name) << file << lengthOfXml << QString(types)
                               << QString(receivedName ? receivedName : name);
        };
        row("63999 characters", "a.xml", padded, 63999, "all");
        row("64000 characters", "a.xml", padded, 64000, "title,data,data");
        row("quotes in name and text", "o'brien.xml",
            document("roottag=\"rec\" note=\"it's\"", "<rec>a'b''c</rec>"), 0, "all");
        row("'>' in an attribute of the root", "gt.xml",
            document("roottag=\"rec\" rule=\"a&gt;b\"", bigRecords(4, 17000)), 0,
            "title,data,data,data,data");
        row("a start tag over 1000 characters", "long-tag.xml",
            document("roottag=\"rec\" memo=\"" + QByteArray(1500, 'm') + "\"",
                     bigRecords(2, 40000)),
            0, "title,data,data");
        row("other children and a record over 64000 characters", "mixed.xml",
            document("roottag=\"rec\"", "\n  <head/>00123<!-- note -->" + bigRecords(1, 70000) +
                                            "<trailer>1.50</trailer>"),
            0, "title,data,data,data,data");
        row("roottag naming nothing", "none.xml",
            document("roottag=\"missing\"", bigRecords(3, 30000)), 0, "title,data,data,data");
        row("a name over 30 characters", "customers-of-the-eastern-region-2024.xml",
            document("roottag=\"rec\"", "<rec/>"), 0, "all", "customers-of-the-eastern-regio");
    }
    void documentsArriveWhole() {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(int, lengthOfXml);
        QFETCH(QString, receivedName);
        Fixture f;
        QString path = f.write(name, file);
        if (lengthOfXml > 0) {
            const int length = int(XmlDocument::fromFile(path).toString().size());
            path = f.write(
                name, QByteArray(file).replace(
                          "pad=\"\"", "pad=\"" + QByteArray(lengthOfXml - length, 'p') + "\""));
            QCOMPARE(XmlDocument::fromFile(path).toString().size(), lengthOfXml);
        }

        const FillOutcome filled = fillMail(f.database, {{"7", path}});
        QVERIFY2(filled.ok() && filled.refusals.isEmpty(), qPrintable(filled.error));
        QTEST(rows(f.database).join(','), "types");

        const ExtractOutcome received = receiveMail(f.database, f.importPath);
        QVERIFY2(received.ok() && received.refusals.isEmpty(), qPrintable(received.error));
        QCOMPARE(received.written,
                 QStringList{QDir::toNativeSeparators(f.importPath + '/' + receivedName)});
        // Exactly what the console writes when it saves the sent document.
        QCOMPARE(f.folder.read("in/" + receivedName), XmlDocument::fromFile(path).toBytes());
    }

    // Files that are not interface documents are refused with their path; the others of the
    // same mail are still stored.
    void refusedFilesAreSkipped_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "文件不存在或文件不合法！%1";
        QTest::newRow("not XML") << QByteArray("<ztinterface>") << "文件不存在或文件不合法！%1";
        QTest::newRow("other root") << kDeclaration + "<data/>"
                                    << "不是KVX合法数据！%1";
    }
    void refusedFilesAreSkipped() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        Fixture f;
        const QString bad =
            file.isEmpty() ? f.folder.filePath("out/none.xml") : f.write("bad.xml", file);
        const QString good = f.write("good.xml", document("roottag=\"rec\"", "<rec/>"));
        const FillOutcome filled = fillMail(f.database, {{"0", bad}, {"1", good}});
        QVERIFY(filled.ok());
        QCOMPARE(filled.refusals, QStringList{message.arg(QDir::toNativeSeparators(bad))});
        QCOMPARE(filled.stored, 1);
        QCOMPARE(rows(f.database).size(), 1);
    }

    // Rows as a peer may send them: names reach the import folder only as plain file names
    // that every file system takes; a document never overwrites another of its mail, nor a file
    // already there under a name given in place of its own, and each such name is reported
    // with the one it replaces; a broken document is reported alone.
    void receivedNamesStayInTheImportFolder_data() {
        QTest::addColumn<QStringList>("names"); // one whole document each, ids 0, 1, …
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QStringList>("renamed"); // "name|written name"
        QTest::addColumn<QStringList>("refusals");
        QTest::newRow("paths") << QStringList{"../../x.xml", "..\\..\\y.xml", "/etc/z.xml"}
                               << QStringList{"x.xml", "y.xml", "z.xml"} << QStringList{}
                               << QStringList{};
        QTest::newRow("reserved")
            << QStringList{" ",
                           "..",
                           "con.xml",
                           "a:b.xml",
                           "a_b.xml",
                           "taken?.xml",
                           "abcdefghijklmnopqrstuvwxyz012.",
                           ".hidden.xml"}
            << QStringList{"未命名.xml",
                           "__",
                           "con_.xml",
                           "a_b.xml",
                           "a_b.4.xml",
                           "taken_.5.xml",
                           "abcdefghijklmnopqrstuvwxyz012_",
                           "_hidden.xml"}
            << QStringList{"|未命名.xml",
                           "..|__",
                           "con.xml|con_.xml",
                           "a:b.xml|a_b.xml",
                           "a_b.xml|a_b.4.xml",
                           "taken?.xml|taken_.5.xml",
                           "abcdefghijklmnopqrstuvwxyz012.|abcdefghijklmnopqrstuvwxyz012_",
                           ".hidden.xml|_hidden.xml"}
            << QStringList{};
        QTest::newRow("equal names")
            << QStringList{"a.xml", "A.xml", "a.xml"} << QStringList{"a.xml", "A.1.xml", "a.2.xml"}
            << QStringList{"A.xml|A.1.xml", "a.xml|a.2.xml"} << QStringList{};
        // "id<tab>name": an id that is no number never becomes part of a path.
        QTest::newRow("equal names, odd id")
            << QStringList{"a.xml", "/../../b\ta.xml"} << QStringList{"a.xml", "a.1.xml"}
            << QStringList{"a.xml|a.1.xml"} << QStringList{};
        // The sender stores 30 characters; a longer name is cut as the sender would cut it.
        const QString long_ = QString(90, QChar(0x6587)) + ".xml";
        QTest::newRow("longer than stored")
            << QStringList{long_} << QStringList{long_.left(30)}
            << QStringList{long_ + '|' + long_.left(30)} << QStringList{};
        QTest::newRow("one broken")
            << QStringList{"good.xml", "broken", "last.xml"} << QStringList{"good.xml", "last.xml"}
            << QStringList{} << QStringList{"接收数据不正确！"};
    }
    void receivedNamesStayInTheImportFolder() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, written);
        QFETCH(QStringList, renamed);
        Fixture f;
        {
            Database db;
            QVERIFY(openStore(db, f.database, nullptr));
            for (int id = 0; id < names.size(); ++id) {
                const QString text = names.at(id) == "broken" ? "<ztinterface>" : "<ztinterface/>";
                const QStringList row = (QString::number(id) + '\t' + names.at(id)).split('\t');
                QVERIFY(db.execute("insert into KVXXml values (?,?,'all',?)",
                                   {row.at(row.size() - 2), row.last(), text}));
            }
        }
        // A file of the import folder that a name given in place of a refused one must spare.
        f.folder.write("in/taken_.xml", "earlier");
        const ExtractOutcome received = receiveMail(f.database, f.importPath);
        QVERIFY(received.ok());
        const auto inImportFolder = [&f](const QString& name) {
            return QDir::toNativeSeparators(f.importPath + '/' + name);
        };
        QStringList expected;
        for (const QString& name : written)
            expected.append(inImportFolder(name));
        QCOMPARE(received.written, expected);
        QStringList notes;
        for (const QString& pair : renamed)
            notes.append(renamedDocumentMessage(pair.section('|', 0, 0),
                                                inImportFolder(pair.section('|', 1))));
        QCOMPARE(received.renamed, notes);
        QTEST(received.refusals, "refusals");
        QCOMPARE(f.folder.read("in/taken_.xml"), QByteArray("earlier"));
    }

    void configurationTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading"); // what was understood, or the error
        const QString invalid = "邮件设置不正确：";
        QTest::newRow("empty") << " "
                               << "";
        QTest::newRow("drop folders") << "dir:outbox=/x/out; inbox = /x/in"
                                      << "/x/out /x/in";
        QTest::newRow("relative folder")
            << "dir:outbox=out;inbox=/x/in" << invalid + "outbox 和 inbox 须为完整的目录路径";
        QTest::newRow("ssl defaults")
            << "mail:smtp=m.example;imap=[::1];tls=ssl;from=a@x;to=b@x, c@x"
            << "m.example:465 ::1:993  INBOX b@x,c@x";
        QTest::newRow("starttls, encoded password")
            << "MAIL:smtp=m:2525;imap=m;user=u;password=p%3Bw%25;from=a@x;to=b@x;mailbox=KVX"
            << "m:2525 m:143 p;w% KVX b@x";
        QTest::newRow("password in the keyring, size limit")
            << "mail:smtp=m;imap=m;user=u;from=a@x;to=b@x;maxsize=5"
            << "m:587 m:143  INBOX b@x keyring u@m, 5242880 bytes";
        QTest::newRow("bad size limit") << "mail:smtp=m;imap=m;from=a@x;to=b@x;maxsize=0"
                                        << invalid + "maxsize 须为正整数（兆字节）";
        QTest::newRow("no recipient")
            << "mail:smtp=m;imap=m;from=a@x" << invalid + "须给出发件地址 from 和收件地址 to";
        QTest::newRow("bad port") << "mail:smtp=m:99999;imap=m;from=a@x;to=b@x"
                                  << invalid + "smtp 和 imap 须为“主机”或“主机:端口”";
        QTest::newRow("unknown key")
            << "dir:outbox=/a;inbox=/b;outbx=/c" << invalid + "不认识的设置项 outbx";
        QTest::newRow("unknown form") << "ftp:host=x" << invalid + "须以 dir: 或 mail: 开头";
    }
    void configurationTexts() {
        QFETCH(QString, text);
        QString error;
        const MailConfig c = MailConfig::parse(text, &error);
        QString read = error;
        if (c.kind == MailConfig::Kind::DropFolder)
            read = c.outbox + ' ' + c.inbox;
        else if (c.kind == MailConfig::Kind::InternetMail)
            read = QStringLiteral("%1:%2 %3:%4 %5 %6 %7")
                       .arg(c.smtpHost)
                       .arg(c.smtpPort)
                       .arg(c.imapHost)
                       .arg(c.imapPort)
                       .arg(c.password, c.mailbox, c.to.join(','));
        if (c.usesKeyring())
            read +=
                QStringLiteral(" keyring %1, %2 bytes").arg(c.keyringKey()).arg(c.maxMessageBytes);
        QTEST(read, "reading");
    }
};

KVX_TEST_MAIN_CORE(ReceivedDataStoreTest)
#include "tst_received_data_store.moc"
