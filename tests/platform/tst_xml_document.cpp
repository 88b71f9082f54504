#include "platform/xml/xml_child_writer.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_outline.h"
#include "platform/xml/xml_parser.h"
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
        // Names the parser reads though libxml2's older name rules refuse them.
        QTest::newRow("fullwidth digit") << QStringLiteral("客户档８") << QByteArray("gb2312");
        QTest::newRow("extension A") << QStringLiteral("㐀") << QByteArray("GB18030");
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

    // Interface documents need no entities: a declaration of one, or an external subset, makes
    // the whole document refused, read from bytes, from a file or by a parser used before.
    void documentTypeDeclarations_data() {
        QTest::addColumn<QByteArray>("prolog");
        QTest::addColumn<QString>("refusal");
        const QString entity = QStringLiteral("文档类型声明中声明了实体“%1”");
        const QString external = QStringLiteral("文档类型声明引用了外部文件“%1”");
        QTest::newRow("none") << QByteArray() << QString();
        QTest::newRow("bare") << QByteArray("<!DOCTYPE r>") << QString();
        QTest::newRow("element declarations only")
            << QByteArray("<!DOCTYPE r [<!ELEMENT r ANY>]>") << QString();
        QTest::newRow("internal entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY co \"ACME\">]>") << entity.arg("co");
        QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>")
            << entity.arg("x");
        QTest::newRow("unparsed entity")
            << QByteArray("<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" "
                          "NDATA n>]>")
            << entity.arg("u");
        QTest::newRow("parameter entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY % p \"<!ENTITY q 'x'>\"> %p;]>")
            << entity.arg("p");
        QTest::newRow("external subset") << QByteArray("<!DOCTYPE r SYSTEM \"file:///etc/passwd\">")
                                         << external.arg("file:///etc/passwd");
        QTest::newRow("public identifier")
            << QByteArray("<!DOCTYPE r PUBLIC \"-//X//Y\" \"y.dtd\">") << external.arg("y.dtd");
        QByteArray laughs = "<!DOCTYPE r [<!ENTITY a \"" + QByteArray(50000, 'a') + "\">";
        laughs += "<!ENTITY b \"" + QByteArray("&a;").repeated(2000) + "\">]>";
        QTest::newRow("amplification") << laughs << entity.arg("a");
    }
    void documentTypeDeclarations() {
        QFETCH(QByteArray, prolog);
        QFETCH(QString, refusal);
        const QByteArray bytes = "<?xml version=\"1.0\"?>" + prolog + "<r a=\"1\"><b/></r>";
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("d.xml"), bytes);
        XmlParser parser;
        QString errors[4];
        bool refused = false;
        const XmlDocument read[] = {
            XmlDocument::fromBytes(bytes, &errors[0], &refused),
            XmlDocument::fromFile(folder.filePath(QStringLiteral("d.xml")), &errors[1]),
            parser.parse(bytes, &errors[2]), parser.parse(bytes, &errors[3])};
        QCOMPARE(refused, !refusal.isEmpty());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(read[i].isNull(), !refusal.isEmpty());
            QVERIFY2(errors[i].startsWith(refusal), qPrintable(errors[i]));
            if (!refusal.isEmpty())
                continue;
            QCOMPARE(read[i].root().attribute(QStringLiteral("a")), QStringLiteral("1"));
            QVERIFY(XmlDocument::fromBytes(read[i].toBytes()).root().hasChildElements());
        }
        // The parser refuses, and reads a plain document after it.
        QVERIFY(!parser.parse("<r><b/></r>").isNull());
    }

    // A parse error is libxml2's reason on one line: the bytes it echoes from the broken
    // document (unreadable ones too, read apart by each reader) are left out.
    void parseErrorsAreOneLine() {
        const QByteArray bytes =
            "<r----------<!----------6-----" + QByteArray(40, '\xF6') + "------/>";
        QString error;
        QVERIFY(XmlDocument::fromBytes(bytes, &error).isNull());
        QCOMPARE(error, QStringLiteral("第 1 行：Comment not terminated"));
        QCOMPARE(XmlOutline::scan(bytes).error, error);
    }

    // The outline names elements as the tree does, a name of an undeclared prefix whose local
    // part begins with U+FEFF too.
    void outlineNamesAsTheTree() {
        const QByteArray bytes = "<p:\xEF\xBB\xBF"
                                 "a><p:\xEF\xBB\xBF"
                                 "b/></p:\xEF\xBB\xBF"
                                 "a>";
        const XmlDocument tree = XmlDocument::fromBytes(bytes);
        const XmlOutline outline = XmlOutline::scan(bytes);
        QCOMPARE(outline.rootName, tree.root().name());
        QCOMPARE(outline.rootChildCounts.keys(), QList{tree.root().firstChildElement().name()});
    }

    // An element's text is libxml2's text of it, whichever way it is written.
    void elementsAsText_data() {
        QTest::addColumn<QByteArray>("declaration");
        QTest::addColumn<QByteArray>("content");
        const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        QTest::newRow("escapes") << utf8
                                 << QByteArray("<a x=\"q&quot;&lt;&gt;&amp;&#10;&#13;&#9;'\">"
                                               "a&lt;b&gt;c&amp;&#13;\"'\n</a>");
        QTest::newRow("empty") << utf8 << QByteArray("<a x=\"\"/><b></b>");
        QTest::newRow("cdata") << utf8 << QByteArray("<a><![CDATA[x<y&]]><![CDATA[]]></a>");
        QTest::newRow("comment") << utf8 << QByteArray("<a><!--c--><?p q?></a>");
        QTest::newRow("namespace") << utf8 << QByteArray("<p:a xmlns:p=\"urn:p\" p:x=\"1\"/>");
        QTest::newRow("Chinese") << utf8 << QByteArray("<a x=\"中\">文</a>");
    }
    void elementsAsText() {
        QFETCH(QByteArray, declaration);
        QFETCH(QByteArray, content);
        // Text beside the children keeps libxml2 from indenting the whole document.
        const XmlDocument doc = XmlDocument::fromBytes(declaration + "<r>t" + content + "</r>");
        const QString whole = doc.toString();
        QCOMPARE(doc.root().toXml(), whole.mid(whole.indexOf(u'\n') + 1).chopped(1));
    }

    // A document written child by child is the document written whole, whether a child is
    // handed over as an element or as its text.
    void childWriterWritesTheWholeDocument_data() {
        QTest::addColumn<QString>("children");
        QTest::addColumn<QByteArray>("declaration");
        QTest::newRow("none") << QString() << QByteArray("gb2312");
        QTest::newRow("text and attributes")
            << QStringLiteral("<a k=\"中&amp;%1\">\n  <b>%1 &lt;x&gt;</b>\n</a><c/>")
                   .arg(kOutsideGbk)
            << QByteArray("gb2312");
        QTest::newRow("name only GB18030 holds")
            << QStringLiteral("<项한>x</项한>") << QByteArray("GB18030");
    }
    void childWriterWritesTheWholeDocument() {
        QFETCH(QString, children);
        QFETCH(QByteArray, declaration);
        const XmlDocument source =
            XmlDocument::fromString(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                                   "<r a=\"1\">%1</r>")
                                        .arg(children));
        XmlDocument whole = XmlDocument::create(QStringLiteral("ztinterface"));
        whole.root().setAttribute(QStringLiteral("n"), QStringLiteral("名"));
        XmlChildWriter byElement(whole);
        XmlChildWriter byText(whole);
        for (const XmlElement& child : source.root().childElements()) {
            whole.root().appendCopy(child);
            byElement.append(child);
            QSet<QByteArray> names;
            if (declaration == "GB18030")
                names.insert(child.name().toUtf8());
            byText.appendXml(child.toXmlUtf8(), names);
        }
        const QByteArray expected = whole.toBytes();
        QVERIFY(expected.startsWith("<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>"));
        QCOMPARE(byElement.finish(), expected);
        QCOMPARE(byText.finish(), expected);
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
