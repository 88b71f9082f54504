#include "documents/import_document.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QStringEncoder>

using namespace kvx;
using namespace kvx::test;

using Attributes = QList<QPair<QString, QString>>;

namespace {

QByteArray gbk(const char* utf8Text) {
    // GB18030 writes every GBK character as GBK does.
    return QStringEncoder("GB18030").encode(QString::fromUtf8(utf8Text));
}

const char* kRecords = "\n  <customer><code>C1</code><name>杭州堃源</name></customer>"
                       "\n  <customer><code>C2</code><memo><![CDATA[</ztinterface> & <a>]]></memo>"
                       "<!-- </ztinterface> --></customer>\n";

ImportDirectives directives(const QString& optionAttribute = QStringLiteral("skipexisting")) {
    return {QStringLiteral("Add"), {{optionAttribute, QStringLiteral("y")}}};
}

const ImportCompletion kCompletion{
    QStringLiteral("n"),
    QStringLiteral("客户档案"),
    QStringLiteral("基础档案"),
    QStringLiteral("001"),
    {QStringLiteral("demo"), QStringLiteral("a'b\"c"), QStringLiteral("2026-03-15")}};

// What a document holds for the server: root name and attributes, and every child element as
// XML text.
QStringList content(const XmlDocument& document) {
    QStringList result{document.root().name()};
    for (const auto& [name, value] : document.root().attributes())
        result.append(name + QLatin1Char('=') + value);
    for (const XmlElement& child : document.root().childElements())
        result.append(child.toXml());
    return result;
}

} // namespace

class ImportDocumentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void completedAsTheWholeDocumentWouldBe_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("optionAttribute");
        QTest::addColumn<bool>("spliced");
        const QByteArray records = gbk(kRecords);
        const QByteArray root = "<ztinterface sender=\"009\" roottag=\"customer\" proc=\"Query\">";
        const QByteArray gbDeclaration = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n";
        QTest::newRow("gb2312, GBK-only characters")
            << gbDeclaration + root + records + "</ztinterface>\n"
            << "skipexisting" << true;
        QTest::newRow("UTF-8 with byte order mark, no declaration")
            << "\xEF\xBB\xBF" + root + QByteArray(kRecords) + "</ztinterface>"
            << "skipexisting" << true;
        QTest::newRow("prolog with comments and instructions, blanks after the root")
            << gbDeclaration + "<!-- <ztinterface> -->\n<?app run ?>\n" + root + records +
                   "</ztinterface  >\r\n\r\n"
            << "skipexisting" << true;
        QTest::newRow("attribute values with markup characters and references")
            << gbDeclaration +
                   "<ztinterface note='1 > 0 \"quoted\"' docid=\"&#49;&amp;2\" "
                   "roottag='customer'\n proc='Add'>" +
                   records + "</ztinterface>"
            << "skipexisting" << true;
        QTest::newRow("root end tag without blanks before the end")
            << gbDeclaration + root + records + "</ztinterface>"
            << "skipexisting" << true;
        // The parser ends the document at a NUL byte; what follows it is no part of it.
        QTest::newRow("NUL and more after the root")
            << gbDeclaration + root + records + "</ztinterface>" + QByteArray(4, '\0') +
                   "<x></ztinterface>"
            << "skipexisting" << false;
        // Nor does it read past bytes its encoding cannot read.
        QTest::newRow("bytes the encoding cannot read after the root")
            << gbDeclaration + root + records + "</ztinterface>\xFF</ztinterface>"
            << "skipexisting" << false;
        QTest::newRow("comment after the root")
            << gbDeclaration + root + records + "</ztinterface>\n<!-- end -->\n"
            << "skipexisting" << false;
        QTest::newRow("DOCTYPE") << "<?xml version=\"1.0\"?><!DOCTYPE ztinterface>" + root +
                                        QByteArray(kRecords) + "</ztinterface>"
                                 << "skipexisting" << false;
        QTest::newRow("namespace on the root")
            << "<ztinterface xmlns:k=\"urn:k\" roottag=\"customer\">" + QByteArray(kRecords) +
                   "</ztinterface>"
            << "skipexisting" << false;
        QString utf16 = QString::fromUtf8(root + kRecords + "</ztinterface>");
        QByteArray utf16Bytes("\xFF\xFE");
        utf16Bytes += QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
        QTest::newRow("UTF-16") << utf16Bytes << "skipexisting" << false;
        QTest::newRow("option attribute the file's encoding cannot name")
            << gbDeclaration + root + records + "</ztinterface>"
            << "选项한" << false;
    }
    void completedAsTheWholeDocumentWouldBe() {
        QFETCH(QByteArray, file);
        QFETCH(QString, optionAttribute);
        QFETCH(bool, spliced);
        TestFolder folder(TestFolder::Content::Empty);
        QVERIFY(folder.write("in.xml", file));

        ImportDocument document;
        QString error;
        QVERIFY(document.load(folder.filePath("in.xml"), &error));
        QCOMPARE(document.root().name(), QStringLiteral("ztinterface"));
        QVERIFY(document.checkItem({{}, "客户档案", "customer", "基础档案"}, &error));
        QVERIFY(!document.hasChildElement("code"));
        QVERIFY2(document.complete(directives(optionAttribute), kCompletion, &error),
                 qPrintable(error));
        QCOMPARE(document.isSpliced(), spliced);
        const QByteArray body = document.takeBody();
        QVERIFY(document.takeBody().isEmpty());

        XmlDocument expected = XmlDocument::fromBytes(file);
        QVERIFY(completeImportDocument(expected, directives(optionAttribute), kCompletion, &error));
        const XmlDocument sent = XmlDocument::fromBytes(body);
        QVERIFY2(!sent.isNull(), body.left(300));
        QCOMPARE(content(sent), content(expected));
        QCOMPARE(sent.root().childElements().last().name(), QStringLiteral("opinfo"));
        if (spliced) {
            // The records travel as the file holds them, byte for byte.
            const qsizetype start = file.indexOf("<customer>");
            const qsizetype end = file.lastIndexOf("</customer>") + 11;
            QVERIFY(body.contains(file.mid(start, end - start)));
            QVERIFY(body.startsWith(file.left(file.indexOf("<ztinterface"))));
        }
    }

    void filesThatAreNotDocuments() {
        TestFolder folder(TestFolder::Content::Empty);
        const QString shown = QDir::toNativeSeparators(folder.path());
        QString error;
        QVERIFY(!ImportDocument().load(folder.filePath("none.xml"), &error));
        QCOMPARE(error, shown + "/none.xml文件不存在！");
        QVERIFY(!ImportDocument().load(folder.path(), &error));
        QCOMPARE(error, shown + "文件不存在！");
        for (const QByteArray& bytes : {QByteArray(), QByteArray("<ztinterface roottag='x'><x>")}) {
            QVERIFY(folder.write("bad.xml", bytes));
            QVERIFY(!ImportDocument().load(folder.filePath("bad.xml"), &error));
            QCOMPARE(error, shown + "/bad.xml不是Xml格式的文件!");
        }
        // A root without content has no records.
        QVERIFY(folder.write("empty.xml", "<ztinterface roottag='customer'/>"));
        ImportDocument empty;
        QVERIFY(empty.load(folder.filePath("empty.xml"), &error));
        QVERIFY(!empty.checkItem({{}, "客户档案", "customer", "基础档案"}, &error));
        QCOMPARE(error, QString("选择的文件格式不对或文件中不包含数据!"));
    }
};

KVX_TEST_MAIN_CORE(ImportDocumentTest)
#include "tst_import_document.moc"
