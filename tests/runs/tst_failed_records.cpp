#include "fixture_http_server.h"
#include "run_fixture.h"
#include "test_main.h"
#include "tests/server/server_fixture.h"

#include <QFile>
#include <QStringEncoder>

using namespace kvx;
using namespace kvx::test;

namespace {

QByteArray gb(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

// An import file of customers built from its pieces, so that the records' bytes are known.
// Letters: g a good record, b one the server refuses (a date that does not exist), B a refused
// record with the key of the b before it. Awkward files put markup around and inside the
// records that a careless reading of the bytes would take for records or their ends, and GBK
// characters whose second byte is a bracket.
struct ImportFile {
    ImportFile(const QString& letters, bool awkward) {
        head = gb("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<!-- 客户 <customer> -->\r\n"
                  "<ztinterface sender=\"001\" receiver=\"m6\" roottag=\"customer\" docid=\"1\" "
                  "proc=\"Add\" note=\"a>b\">");
        int lastBad = -1;
        for (int i = 0; i < letters.size(); ++i) {
            const QChar letter = letters[i];
            const int key = letter == 'B' ? lastBad : i;
            lastBad = letter == 'b' ? i : lastBad;
            const QString date = letter == 'g' ? "2024-01-01" : "2024-13-01";
            QString record = QStringLiteral("<customer><code>T%1</code><name>测试客户%1</name>"
                                            "<devdate>%2</devdate></customer>")
                                 .arg(key)
                                 .arg(date);
            if (awkward)
                record.replace("<name>",
                               "\r\n\t\t<!-- </customer> --><?kvx </customer>?>"
                               "<memo><![CDATA[乚]></customer>]]></memo><remark text=\"x>y\"/>"
                               "<parent><customer>T9</customer></parent><name>乚");
            records.append(gb(record));
            body += "\r\n\t" + records.last();
            if (awkward && i == 0)
                body += gb("\r\n\t<note>说明</note><?kvx 处理?>");
        }
        tail = "\r\n</ztinterface>\r\n";
    }
    QByteArray bytes() const { return head + body + tail; }
    QByteArray withOnly(const QList<int>& positions) const {
        QByteArray kept = head;
        for (int position : positions)
            kept += "\r\n\t" + records.at(position);
        return kept + tail;
    }

    QByteArray head;
    QByteArray body;
    QByteArray tail;
    QList<QByteArray> records;
};

// A server that answers only for the records it refuses, by their key field.
FixtureHttpServer::Response refusedOnly(const QByteArray& posted, const QString& keyField) {
    const XmlDocument document = XmlDocument::fromBytes(posted);
    XmlDocument result = XmlDocument::create("result");
    for (const XmlElement& record : document.root().childElements()) {
        if (!record.firstChildElement("devdate").text().contains("-13-"))
            continue;
        XmlElement item = result.root().appendChild("item");
        item.setAttribute("succeed", "1");
        item.setAttribute("key", record.firstChildElement(keyField).text());
        item.setAttribute("dsc", "日期无效");
    }
    return {200, result.toBytes()};
}

// Moves the key mark of the customers' structure file from code to the field.
void markKeyField(const RunFixture& run, const QString& field) {
    const QString path = run.folder.filePath("xml/rsxml/customerxmlrs.xml");
    XmlDocument structure = XmlDocument::fromFile(path);
    structure.selectFirst("//*[@iskey]").removeAttribute("iskey");
    structure.selectFirst("//*[text() = $f]", {{"f", field}}).setAttribute("iskey", "y");
    QVERIFY(structure.save(path));
}

} // namespace

class FailedRecordsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void failedRecordsFile_data() {
        QTest::addColumn<QString>("letters");
        QTest::addColumn<bool>("awkward");
        QTest::addColumn<QString>("keyField"); // empty: the reference server answers
        QTest::addColumn<QList<int>>("failed");
        QTest::addColumn<QString>("reason"); // of a file not written
        using Failed = QList<int>;
        QTest::newRow("first of four") << "bggg" << false << "" << Failed{0} << "";
        QTest::newRow("middle") << "gbgg" << false << "" << Failed{1} << "";
        QTest::newRow("last") << "gggb" << false << "" << Failed{3} << "";
        QTest::newRow("all") << "bbb" << false << "" << Failed{0, 1, 2} << "";
        QTest::newRow("none") << "ggg" << false << "" << Failed{} << "";
        QTest::newRow("awkward markup, an earlier read-only file replaced")
            << "gbgb" << true << "" << Failed{1, 3} << "";
        QTest::newRow("fewer result items than records: by key")
            << "gbgbg" << false << "code" << Failed{1, 3} << "";
        QTest::newRow("by the key field the structure file marks")
            << "bggb" << true << "name" << Failed{0, 3} << "";
        QTest::newRow("duplicate keys: no file")
            << "gbgB" << false << "code" << Failed{1, 3}
            << "服务器的结果有 2 项，文件有 4 条记录，且文件中关键字为“T1”的记录有 2 条，"
               "无法确定是哪些记录失败";
    }
    void failedRecordsFile() {
        QFETCH(QString, letters);
        QFETCH(bool, awkward);
        QFETCH(QString, keyField);
        QFETCH(QList<int>, failed);
        QFETCH(QString, reason);
        ServerFixture server;
        FixtureHttpServer byKey([keyField](const FixtureHttpServer::Request& request) {
            return refusedOnly(request.body, keyField);
        });
        RunFixture run(keyField.isEmpty() ? server.baseUrl() : byKey.baseUrl());
        if (!keyField.isEmpty() && keyField != "code")
            markKeyField(run, keyField);
        const ImportFile file(letters, awkward);
        const QString source = run.writeFile("in/客户.xml", file.bytes());
        const QString written = run.folder.filePath("in/客户.failed.xml");
        if (awkward && keyField.isEmpty()) {
            run.writeFile("in/客户.failed.xml", "earlier");
            QFile(written).setPermissions(QFileDevice::ReadOwner);
        }
        run.setConditionAttribute("customer", "客户档案", "001", "importfile", source);
        RunWatcher watcher;
        const RunSummary summary =
            runToEnd(run.services.services, true, run.input({{"客户档案", "添加"}}), watcher);

        QCOMPARE(summary.exchanged, 1);
        const QString report = run.prompter().displayed().value(0);
        const bool writes = !failed.isEmpty() && reason.isEmpty();
        QCOMPARE(summary.failedRecordFiles, writes ? QStringList{written} : QStringList());
        QCOMPARE(QFile::exists(written), writes);
        if (writes)
            QCOMPARE(run.folder.read("in/客户.failed.xml"), file.withOnly(failed));
        // The item's block ends with the line on its failed records.
        const QString line =
            writes ? QStringLiteral("失败的 %1 条记录已写入%2，修改后可再次导入该文件。")
                         .arg(failed.size())
                         .arg(AppFolder::toNative(written))
                   : "失败的记录未写入文件：" + reason + "。";
        if (failed.isEmpty())
            QVERIFY2(!report.contains("失败"), qPrintable(report));
        else
            QVERIFY2(report.endsWith("\r\n" + line + "\r\n\r\n"), qPrintable(report));
    }
};

KVX_TEST_MAIN_CORE(FailedRecordsTest)
#include "tst_failed_records.moc"
