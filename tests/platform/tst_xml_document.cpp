#include "platform/xml_document.h"
#include "test_folder.h"
#include "test_main.h"

using namespace kvx;

namespace {
// "堃" is in GBK (code page 936) but not in GB2312.
const QString kGbkOnly = QStringLiteral("堃");
// "𠀀" (U+20000) is in neither: GB18030 holds it in four bytes.
const QString kOutsideGbk = QString::fromUcs4(U"\U00020000");
} // namespace

class XmlDocumentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gb2312FileRoundTrip() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        QByteArray bytes = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r n=\"";
        bytes += QByteArray(QStringEncoder("GB18030").encode(kGbkOnly));
        bytes += "\">\xd6\xd0</r>"; // 中
        folder.write(QStringLiteral("a.xml"), bytes);
        QString error;
        XmlDocument doc = XmlDocument::fromFile(folder.filePath(QStringLiteral("a.xml")), &error);
        QVERIFY2(!doc.isNull(), qPrintable(error));
        QCOMPARE(doc.root().attribute(QStringLiteral("n")), kGbkOnly);
        QCOMPARE(doc.root().text(), QStringLiteral("中"));
        QCOMPARE(doc.encoding().toLower(), QStringLiteral("gb2312"));

        // Saved in the declared encoding, with references for what it cannot hold.
        doc.root().setAttribute(QStringLiteral("n"), kGbkOnly + kOutsideGbk);
        doc.root().setText(QStringLiteral("中") + kOutsideGbk);
        const QByteArray saved = doc.toBytes();
        QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QVERIFY(saved.contains("&#131072;"));
        QVERIFY(saved.contains(QByteArray(QStringEncoder("GB18030").encode(kGbkOnly))));
        const XmlDocument again = XmlDocument::fromBytes(saved);
        QCOMPARE(again.root().attribute(QStringLiteral("n")), kGbkOnly + kOutsideGbk);
        QCOMPARE(again.root().text(), QStringLiteral("中") + kOutsideGbk);
    }

    // An element name the encoding cannot hold would make a broken file.
    void elementNamesDecideTheWrittenEncoding_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("declaration");
        QTest::newRow("Chinese") << QStringLiteral("采购发票") << QByteArray("gb2312");
        // Hangul is a letter in XML names but is not in GBK.
        QTest::newRow("Hangul") << QStringLiteral("项한") << QByteArray("GB18030");
    }
    void elementNamesDecideTheWrittenEncoding() {
        QFETCH(QString, name);
        QFETCH(QByteArray, declaration);
        XmlDocument doc = XmlDocument::create(QStringLiteral("KVX管理系统"));
        doc.root().appendChild(name).setText(QStringLiteral("x"));
        const QByteArray bytes = doc.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>"));
        QCOMPARE(XmlDocument::fromBytes(bytes).root().firstChildElement().name(), name);
        QCOMPARE(doc.encoding(), QStringLiteral("gb2312")); // the document keeps its own
    }

    void neverReadsExternalEntities() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("secret.txt"), "TOPSECRET");
        const QByteArray bytes = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" +
                                 folder.filePath(QStringLiteral("secret.txt")).toUtf8() +
                                 "\">]><r>&x;</r>";
        XmlDocument doc = XmlDocument::fromBytes(bytes);
        QVERIFY(!doc.isNull());
        QVERIFY(!doc.root().text().contains(QStringLiteral("TOPSECRET")));
        QVERIFY(!doc.toBytes().contains("TOPSECRET"));
    }

    void xpathVariablesTreatQuotesAsText() {
        XmlDocument doc = XmlDocument::fromBytes(
            "<r><item name=\"O'Brien\" code=\"a]b\"/><item name=\"x\" code=\"\"/></r>");
        const XmlElement found = doc.selectFirst(QStringLiteral("//item[@name=$n and @code=$c]"),
                                                 {{QStringLiteral("n"), QStringLiteral("O'Brien")},
                                                  {QStringLiteral("c"), QStringLiteral("a]b")}});
        QVERIFY(!found.isNull());
        QCOMPARE(found.attribute(QStringLiteral("code")), QStringLiteral("a]b"));
        QVERIFY(doc.select(QStringLiteral("//item[@name=")).isEmpty()); // malformed: nothing
    }
};

KVX_TEST_MAIN_CORE(XmlDocumentTest)
#include "tst_xml_document.moc"
