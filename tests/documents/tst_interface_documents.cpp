#include "documents/interface_documents.h"
#include "documents/result_report.h"
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
        QTest::addColumn<QString>("writtenRoottag");
        QTest::addColumn<QString>("writtenSender");
        QTest::newRow("ordinary") << "customer"
                                  << "001"
                                  << "y"
                                  << "customer"
                                  << "001";
        QTest::newRow("special characters") << "a<b&c"
                                            << "O'Brien\"x\"\t\r\n"
                                            << "n"
                                            << "a&lt;b&amp;c"
                                            << "O&apos;Brien&quot;x&quot;&#9;&#13;&#10;";
        QTest::newRow("injection attempt") << "customer' proc='Delete"
                                           << "001' receiver='x"
                                           << "y"
                                           << "customer&apos; proc=&apos;Delete"
                                           << "001&apos; receiver=&apos;x";
    }
    void queryEnvelope() {
        QFETCH(QString, roottag);
        QFETCH(QString, sender);
        QFETCH(QString, exportneedexch);
        QFETCH(QString, writtenRoottag);
        QFETCH(QString, writtenSender);
        const QString text = BuildQueryEnvelope(roottag, sender, exportneedexch);
        const QString expected =
            QRegularExpression::escape(
                "<?xml version='1.0' encoding='gb2312' ?>\r\n<ztinterface sender='" +
                writtenSender + "' receiver='m6' roottag='" + writtenRoottag + "' docid='") +
            kDocIdPattern +
            QRegularExpression::escape("' proc='Query' codeexchanged='n' exportneedexch='" +
                                       exportneedexch + "'>\r\n</ztinterface>");
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expected))
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));

        // Whatever the values, the envelope reads back with exactly them.
        const XmlDocument doc = XmlDocument::fromString(text);
        QCOMPARE(doc.root().attribute(QStringLiteral("sender")), sender);
        QCOMPARE(doc.root().attribute(QStringLiteral("roottag")), roottag);
        QCOMPARE(doc.root().attributes().size(), 7);
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

    // A data document from the server, in whatever encoding, leaves declared gb2312.
    void normalizeDataDocument() {
        const QString text = "<?xml version=\"1.0\" encoding=\"GB18030\"?>\n<ztinterface "
                             "sender=\"x\" receiver=\"erp\" roottag=\"old\" docid=\"42\" "
                             "proc=\"Query\" codeexchanged=\"y\"><customer><name>" +
                             kBeyondGb2312 + "</name></customer></ztinterface>";
        XmlDocument doc = XmlDocument::fromBytes(QStringEncoder("GB18030").encode(text));
        NormalizeDataDocument(doc, QStringLiteral("customer"), QStringLiteral(" 001 "));
        const QByteArray bytes = doc.toBytes();
        QVERIFY2(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"),
                 bytes.constData());
        QVERIFY(bytes.contains("&#131072;"));
        const XmlDocument again = XmlDocument::fromBytes(bytes);
        const QList<QPair<QString, QString>> expected = {
            {"sender", "001"}, {"receiver", "m6"},     {"roottag", "customer"}, {"docid", "42"},
            {"proc", "Query"}, {"codeexchanged", "N"}, {"exportneedexch", "N"}};
        QCOMPARE(again.root().attributes(), expected);
        QCOMPARE(again.root().text().trimmed(), kBeyondGb2312);
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
        QTest::newRow("values beyond ASCII, alike and alternating, and with a reference")
            << QByteArray("<r><item succeed=\"0\" key=\"甲1\" dsc=\"已添加\"/>"
                          "<item succeed=\"1\" key=\"乙&amp;2\" dsc=\"科目不存在\"/>"
                          "<item succeed=\"0\" key=\"甲1\" dsc=\"已添加\"/></r>")
            << ""
            << "客户档案\r\n导入、导出成功！【关键字=甲1】已添加\r\n"
               "导入导出失败！【关键字=乙&2】科目不存在\r\n导入、导出成功！【关键字="
               "甲1】已添加\r\n\r\n";
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
        const XmlDocument doc = XmlDocument::fromBytes(result);
        QVERIFY(!doc.isNull());
        QTEST(AppendResultReport(doc, QStringLiteral("客户档案"), report), "expected");
    }
};

KVX_TEST_MAIN_CORE(InterfaceDocumentsTest)
#include "tst_interface_documents.moc"
