#include "exchange/interface_documents.h"
#include "exchange/result_report.h"
#include "test_folder.h"
#include "test_main.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>

using namespace kvx;

namespace {
const QString kDocIdPattern = QStringLiteral("(0|[1-9][0-9]{0,8})");
// 堃 is in GBK but not in GB2312; U+20000 is in neither and needs a reference.
const QString kBeyondGb2312 = QStringLiteral("中堃") + QString::fromUcs4(U"\U00020000");
} // namespace

class InterfaceDocumentsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryEnvelope_data() {
        QTest::addColumn<QString>("roottag");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("exportneedexch");
        QTest::addColumn<QString>("expected"); // %ID% stands for the random docid
        QTest::newRow("ordinary") << "customer"
                                  << "001"
                                  << "y"
                                  << "<?xml version='1.0' encoding='gb2312' ?>\r\n"
                                     "<ztinterface sender='001' receiver='m6' roottag='customer' "
                                     "docid='%ID%' proc='Query' codeexchanged='n' "
                                     "exportneedexch='y'>\r\n</ztinterface>";
        QTest::newRow("blank sender") << "voucher"
                                      << ""
                                      << "n"
                                      << "<?xml version='1.0' encoding='gb2312' ?>\r\n"
                                         "<ztinterface sender='' receiver='m6' roottag='voucher' "
                                         "docid='%ID%' proc='Query' codeexchanged='n' "
                                         "exportneedexch='n'>\r\n</ztinterface>";
        QTest::newRow("special characters")
            << "a<b&c"
            << "O'Brien\"x\""
            << "y"
            << "<?xml version='1.0' encoding='gb2312' ?>\r\n"
               "<ztinterface sender='O&apos;Brien&quot;x&quot;' receiver='m6' "
               "roottag='a&lt;b&amp;c' docid='%ID%' proc='Query' codeexchanged='n' "
               "exportneedexch='y'>\r\n</ztinterface>";
        QTest::newRow("injection attempt")
            << "customer' proc='Delete"
            << "001' receiver='x"
            << "y"
            << "<?xml version='1.0' encoding='gb2312' ?>\r\n"
               "<ztinterface sender='001&apos; receiver=&apos;x' receiver='m6' "
               "roottag='customer&apos; proc=&apos;Delete' docid='%ID%' proc='Query' "
               "codeexchanged='n' exportneedexch='y'>\r\n</ztinterface>";
    }
    void queryEnvelope() {
        QFETCH(QString, roottag);
        QFETCH(QString, sender);
        QFETCH(QString, exportneedexch);
        QFETCH(QString, expected);
        const QString text = BuildQueryEnvelope(roottag, sender, exportneedexch);
        const QStringList pieces = expected.split(QStringLiteral("%ID%"));
        const QRegularExpression exact(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(pieces[0]) + kDocIdPattern +
            QRegularExpression::escape(pieces[1])));
        QVERIFY2(exact.match(text).hasMatch(), qPrintable(text));

        // Whatever the values, the envelope reads back with exactly them.
        const XmlDocument doc = XmlDocument::fromString(text);
        QVERIFY(!doc.isNull());
        const XmlElement root = doc.root();
        QCOMPARE(root.name(), QStringLiteral("ztinterface"));
        QCOMPARE(root.attribute(QStringLiteral("sender")), sender);
        QCOMPARE(root.attribute(QStringLiteral("roottag")), roottag);
        QCOMPARE(root.attribute(QStringLiteral("exportneedexch")), exportneedexch);
        QCOMPARE(root.attribute(QStringLiteral("proc")), QStringLiteral("Query"));
        QCOMPARE(root.attribute(QStringLiteral("receiver")), QStringLiteral("m6"));
        QCOMPARE(root.attributes().size(), 7);
        QCOMPARE(doc.encoding(), QStringLiteral("gb2312"));
    }

    void envelopeKeepsLineBreaksAndTabsInValues() {
        const QString sender = QStringLiteral("a\tb\r\nc");
        const XmlDocument doc = XmlDocument::fromString(
            BuildQueryEnvelope(QStringLiteral("x"), sender, QStringLiteral("n")));
        QCOMPARE(doc.root().attribute(QStringLiteral("sender")), sender);
    }

    void docIdsAreDistinctNonEmptyAndInRange() {
        const QRegularExpression decimal(QRegularExpression::anchoredPattern(kDocIdPattern));
        QSet<QString> ids;
        for (int i = 0; i < 1000; ++i) {
            const QString id = MakeDocId();
            QVERIFY2(decimal.match(id).hasMatch(), qPrintable(id));
            bool ok = false;
            QVERIFY(id.toLongLong(&ok) < 1000000000LL && ok);
            ids.insert(id);
        }
        // Made in one tight loop, i.e. within a few clock ticks: still (almost) all distinct.
        QVERIFY2(ids.size() >= 995, qPrintable(QString::number(ids.size())));
    }

    void normalizeDataDocument_data() {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("UTF-8") << "UTF-8";
        QTest::newRow("GB18030") << "GB18030";
    }
    void normalizeDataDocument() {
        QFETCH(QString, encoding);
        const QString text =
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"%1\"?>\n"
                "<ztinterface sender=\"x\" receiver=\"erp\" roottag=\"old\" docid=\"42\" "
                "proc=\"Query\" codeexchanged=\"y\"><customer><name>%2</name>"
                "</customer></ztinterface>")
                .arg(encoding, kBeyondGb2312);
        QStringEncoder encoder(encoding.toUtf8().constData());
        XmlDocument doc = XmlDocument::fromBytes(encoder.encode(text));
        QVERIFY(!doc.isNull());

        NormalizeDataDocument(doc, QStringLiteral("customer"), QStringLiteral(" 001 "));

        test::TestFolder folder(test::TestFolder::Content::Empty);
        const QString path = folder.filePath(QStringLiteral("out.xml"));
        QVERIFY(doc.save(path));
        const QByteArray bytes = folder.read(QStringLiteral("out.xml"));
        QVERIFY2(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"),
                 bytes.constData());
        QVERIFY(bytes.contains("&#131072;"));
        QVERIFY(
            bytes.contains(QByteArray(QStringEncoder("GB18030").encode(QStringLiteral("中堃")))));

        const XmlDocument again = XmlDocument::fromFile(path);
        QVERIFY(!again.isNull());
        const XmlElement root = again.root();
        const QList<QPair<QString, QString>> expected = {
            {"sender", "001"}, {"receiver", "m6"},     {"roottag", "customer"}, {"docid", "42"},
            {"proc", "Query"}, {"codeexchanged", "N"}, {"exportneedexch", "N"}};
        QCOMPARE(root.attributes(), expected);
        QCOMPARE(root.firstChildElement().firstChildElement(QStringLiteral("name")).text(),
                 kBeyondGb2312);
    }

    void opinfoIsAppendedLastWithAttributesInOrder() {
        XmlDocument doc = XmlDocument::fromString(BuildQueryEnvelope(
            QStringLiteral("customer"), QStringLiteral("001"), QStringLiteral("n")));
        doc.root().appendChild(QStringLiteral("customer"));
        AppendOpinfo(
            doc, {QStringLiteral("张三"), QStringLiteral("ab12"), QStringLiteral("2026-03-15")});
        const QList<XmlElement> children = doc.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        const QList<QPair<QString, QString>> expected = {
            {"operator", "张三"}, {"pwd", "ab12"}, {"date", "2026-03-15"}};
        QCOMPARE(children.last().attributes(), expected);
    }

    void resultReport_data() {
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("expected");
        QTest::newRow("success with key and description")
            << QByteArray("<r><item succeed=\"0\" key=\"C001\" dsc=\"已导入\"/></r>") << ""
            << "客户档案\r\n导入、导出成功！【关键字=C001】已导入\r\n\r\n";
        QTest::newRow("empty key only") << QByteArray("<r><item key=\"\"/></r>") << ""
                                        << "客户档案\r\n导入导出失败！\r\n\r\n";
        QTest::newRow("no items") << QByteArray("<r><other succeed=\"0\"/></r>") << ""
                                  << "客户档案\r\n\r\n";
        QTest::newRow("every key in fixed order")
            << QByteArray("<r><item dsc=\"d\" m6accounting_period=\"3\" m6voucher_id=\"M9\" "
                          "row_id=\"2\" voucher_id=\"7\" voucher_type=\"记\" key=\"K\" "
                          "succeed=\"1\"/></r>")
            << ""
            << "客户档案\r\n导入导出失败！【关键字=K】【凭证类别=记】【凭证号=7】【分录号=2】"
               "【M6凭证号=M9】【凭证期间=3】d\r\n\r\n";
        QTest::newRow("items at any depth in document order, after the earlier report")
            << QByteArray("<r><a><item succeed=\"0\" key=\"1\"><item key=\"2\"/></item></a>"
                          "<item succeed=\" 0\" key=\"3\"/></r>")
            << "\r\n凭证\r\n导入、导出成功！\r\n\r\n"
            << "\r\n凭证\r\n导入、导出成功！\r\n\r\n客户档案\r\n导入、导出成功！【关键字=1】\r\n"
               "导入导出失败！【关键字=2】\r\n导入导出失败！【关键字=3】\r\n\r\n";
    }
    void resultReport() {
        QFETCH(QByteArray, result);
        QFETCH(QString, report);
        QFETCH(QString, expected);
        const XmlDocument doc = XmlDocument::fromBytes(result);
        QVERIFY(!doc.isNull());
        QCOMPARE(AppendResultReport(doc, QStringLiteral("客户档案"), report), expected);
    }

    void resultReportOfManyItems() {
        QByteArray xml = "<result>";
        const int count = 20000;
        for (int i = 0; i < count; ++i)
            xml += "<item succeed=\"" + QByteArray(i % 2 ? "1" : "0") + "\" key=\"K" +
                   QByteArray::number(i) + "\" dsc=\"ok\"/>";
        xml += "</result>";
        const QString text =
            AppendResultReport(XmlDocument::fromBytes(xml), QStringLiteral("t"), QString());
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), count + 3); // title, items, empty line, after the final CRLF
        QCOMPARE(lines[1], QStringLiteral("导入、导出成功！【关键字=K0】ok"));
        QCOMPARE(lines[count], QStringLiteral("导入导出失败！【关键字=K%1】ok").arg(count - 1));
    }
};

KVX_TEST_MAIN_CORE(InterfaceDocumentsTest)
#include "tst_interface_documents.moc"
