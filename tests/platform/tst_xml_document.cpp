#include "platform/xml_document.h"
#include "test_folder.h"
#include "test_main.h"

#include <QFile>

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
    void readsGbkCharacterFromGb2312File() {
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
    }

    void savesInDeclaredEncodingWithReferencesForTheRest() {
        XmlDocument doc = XmlDocument::create(QStringLiteral("root"));
        doc.root().setAttribute(QStringLiteral("a"), kGbkOnly + kOutsideGbk);
        doc.root().appendChild(QStringLiteral("name")).setText(QStringLiteral("中") + kOutsideGbk);
        const QByteArray bytes = doc.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QVERIFY(bytes.contains("&#131072;"));
        QVERIFY(bytes.contains(QByteArray(QStringEncoder("GB18030").encode(kGbkOnly))));
        XmlDocument again = XmlDocument::fromBytes(bytes);
        QVERIFY(!again.isNull());
        QCOMPARE(again.root().attribute(QStringLiteral("a")), kGbkOnly + kOutsideGbk);
        QCOMPARE(again.root().firstChildElement().text(), QStringLiteral("中") + kOutsideGbk);
    }

    void unencodableElementNameSwitchesToGb18030() {
        // Hangul is a letter in XML names but is not in GBK.
        const QString name = QStringLiteral("项한");
        XmlDocument doc = XmlDocument::create(QStringLiteral("root"));
        QVERIFY(!doc.root().appendChild(name).isNull());
        doc.root().firstChildElement().setText(QStringLiteral("x"));
        const QByteArray bytes = doc.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"GB18030\"?>"));
        XmlDocument again = XmlDocument::fromBytes(bytes);
        QVERIFY(!again.isNull());
        QCOMPARE(again.root().firstChildElement().name(), name);
        // The document itself keeps its declared encoding.
        QCOMPARE(doc.encoding(), QStringLiteral("gb2312"));
    }

    void chineseElementNamesStayGb2312() {
        XmlDocument doc = XmlDocument::create(QStringLiteral("KVX管理系统"));
        doc.root().appendChild(QStringLiteral("采购发票")).setAttribute(QStringLiteral("name"), QStringLiteral("puinvoice"));
        QVERIFY(doc.toBytes().startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
    }

    void fromStringIgnoresDeclaredEncoding() {
        const QString text = QStringLiteral("<?xml version='1.0' encoding='gb2312'?><r>中文</r>");
        XmlDocument doc = XmlDocument::fromString(text);
        QVERIFY(!doc.isNull());
        QCOMPARE(doc.root().text(), QStringLiteral("中文"));
        QCOMPARE(doc.encoding(), QStringLiteral("gb2312"));
    }

    void rejectsMalformedAndEmptyInput_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not xml at all");
        QTest::newRow("truncated") << QByteArray("<r><a>1</a>");
        QTest::newRow("two roots") << QByteArray("<r/><s/>");
    }
    void rejectsMalformedAndEmptyInput() {
        QFETCH(QByteArray, bytes);
        QString error;
        QVERIFY(XmlDocument::fromBytes(bytes, &error).isNull());
        QVERIFY(!error.isEmpty());
    }

    void neverReadsExternalEntities() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("secret.txt"), "TOPSECRET");
        const QByteArray bytes = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://"
                                 + folder.filePath(QStringLiteral("secret.txt")).toUtf8()
                                 + "\">]><r>&x;</r>";
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

    void editsAndCopiesElements() {
        XmlDocument source = XmlDocument::fromBytes(
            "<c><item b=\"2\" a=\"1\"><field preserved=\"1\"/><field/></item></c>");
        XmlDocument target = XmlDocument::create(QStringLiteral("t"));
        XmlElement copy = target.root().appendCopy(source.root().firstChildElement());
        source = XmlDocument(); // the copy must not depend on the source
        QCOMPARE(copy.attributes().value(0).first, QStringLiteral("b"));
        QCOMPARE(copy.childElements().size(), 2);
        copy.removeAllChildren();
        QVERIFY(!copy.hasChildElements());
        QVERIFY(!copy.setAttribute(QStringLiteral("bad name"), QStringLiteral("v")));
        QVERIFY(copy.appendChild(QStringLiteral("1bad")).isNull());
        copy.remove();
        QVERIFY(!target.root().hasChildElements());
    }

    void saveReplacesFileOnlyWhenComplete() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        const QString path = folder.filePath(QStringLiteral("doc.xml"));
        XmlDocument doc = XmlDocument::create(QStringLiteral("r"));
        QVERIFY(doc.save(path));
        QVERIFY(!XmlDocument::fromFile(path).isNull());
        // A folder that cannot be written: the save fails and reports why.
        QString error;
        QVERIFY(!doc.save(folder.filePath(QStringLiteral("missing/doc.xml")), &error));
        QVERIFY(!error.isEmpty());
    }

    void processingInstructionsBeforeRoot() {
        XmlDocument doc = XmlDocument::fromBytes("<?xml version=\"1.0\"?><?xsl a?><?xsl b?><r/>");
        doc.removeProcessingInstructions(QStringLiteral("xsl"));
        doc.insertProcessingInstructionBeforeRoot(QStringLiteral("note"), QStringLiteral("x='1'"));
        const QByteArray bytes = doc.toBytes();
        QVERIFY(!bytes.contains("xsl"));
        QVERIFY(bytes.indexOf("<?note x='1'?>") < bytes.indexOf("<r"));
    }
};

KVX_TEST_MAIN_CORE(XmlDocumentTest)
#include "tst_xml_document.moc"
