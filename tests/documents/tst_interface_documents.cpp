#include "documents/import_document.h"
#include "documents/interface_documents.h"
#include "documents/result_report.h"
#include "element_outline.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>

using namespace kvx;
using namespace kvx::test;

Q_DECLARE_METATYPE(QList<kvx::ImportOption>)

namespace {

// The options of an item's entry in the sample operations file, in file order.
QList<ImportOption> sampleOptions(const QString& itemLabel) {
    const XmlDocument operations = XmlDocument::fromFile(
        TestFolder::sampleDir() + QStringLiteral("/xml/operation/ImOperation.xml"));
    const XmlElement entry =
        operations.selectFirst(QStringLiteral("//*[name()=$label]"), {{"label", itemLabel}});
    QList<ImportOption> options;
    for (const XmlElement& option : entry.firstChildElement(QStringLiteral("选项")).childElements())
        options.append({option.name(), option.attribute(QStringLiteral("name")),
                        option.attribute(QStringLiteral("mode"))});
    return options;
}

QByteArray gbk(const char* utf8Text) {
    // GB18030 writes every GBK character as GBK does.
    return QStringEncoder("GB18030").encode(QString::fromUtf8(utf8Text));
}

const char* kRecords = "\n  <customer><code>C1</code><name>杭州堃源</name></customer>"
                       "\n  <customer><code>C2</code><memo><![CDATA[</ztinterface> & <a>]]></memo>"
                       "<!-- </ztinterface> --></customer>\n";

ImportDirectives optionDirectives(const QString& optionAttribute = QStringLiteral("skipexisting")) {
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
    QStringList result{document.root().name(), attributeText(document.root().attributes())};
    for (const XmlElement& child : document.root().childElements())
        result.append(child.toXml());
    return result;
}

const QString kDocIdPattern = QStringLiteral("(0|[1-9][0-9]{0,8})");
// 堃 is in GBK but not in GB2312; U+20000 is in neither and needs a reference.
const QString kBeyondGb2312 = QStringLiteral("中堃") + QString::fromUcs4(U"\U00020000");

} // namespace

class InterfaceDocumentsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void directivesOfOperations_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("hasEntry");
        QTest::addColumn<QString>("entryProc");
        QTest::addColumn<QList<ImportOption>>("options");
        QTest::addColumn<QString>("procOverride");
        QTest::addColumn<QString>("attributes");

        const QList<ImportOption> none;
        const QList<ImportOption> voucher = sampleOptions(QStringLiteral("凭证"));
        QCOMPARE(voucher.size(), 5);

        auto row = [](const char* tag, const char* operation, bool hasEntry, const char* entryProc,
                      const QList<ImportOption>& options, const char* procOverride,
                      const char* attributes = "") {
            QTest::newRow(tag) << QString(operation) << hasEntry << QString(entryProc) << options
                               << QString(procOverride) << QString(attributes);
        };
        row("empty string", "", true, "Edit", voucher, "add");
        row("blank operation name", " |自动编号", true, "Edit", voucher, "add");
        row("no entry, 默认", "默认", false, "", none, "");
        row("no entry, 普通", "普通|", false, "", none, "");
        row("no entry, 添加", "添加", false, "", none, "Add");
        row("no entry, 删除", "删除", false, "", none, "Delete");
        row("no entry, 修改 with a caption", "修改|自动编号", false, "", none, "Edit");
        row("entry, options checked and unchecked", "添加|按名称匹配科目|自动编号", true, "Add",
            voucher, "Add", "autovoucherno=y,unbalanced=n,accountmatch=name");
        row("entry, nothing checked", "修改", true, "Edit", voucher, "Edit",
            "autovoucherno=n,unbalanced=n");
        row("entry, first without mode unchecked, second with mode checked", "默认|二", true, "add",
            {{"一", "first", ""}, {"二", "second", " kind "}}, "add", "first=n,kind=second");
        row("entry whose proc is empty", "默认", true, "", none, "");
    }
    void directivesOfOperations() {
        QFETCH(QString, operation);
        QFETCH(bool, hasEntry);
        QFETCH(QString, entryProc);
        QFETCH(QList<ImportOption>, options);
        const ImportDirectives directives =
            workOutImportDirectives(operation, OperationsEntry{hasEntry, entryProc, options});
        QTEST(directives.procOverride, "procOverride");
        QTEST(attributeText(directives.optionAttributes), "attributes");
    }

    void completion_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const QByteArray& document, const char* operation,
                      const char* sender, const char* expected) {
            QTest::newRow(tag) << document << QString(operation) << QString(sender)
                               << QString(expected);
        };
        row("QUERY with 默认 becomes Add, blank sender keeps the file's",
            "<ztinterface roottag=\"customer\" proc=\"QUERY\" sender=\"009\"><customer/>"
            "</ztinterface>",
            "默认", " ",
            "roottag=customer,proc=Add,sender=009,codeexchanged=n,display=客户档案,family="
            "基础档案");
        row("empty operation string gives add, sender set",
            "<ztinterface roottag=\"customer\" proc=\"Edit\"><customer/></ztinterface>", "", "001",
            "roottag=customer,proc=add,codeexchanged=n,display=客户档案,family=基础档案,sender="
            "001");
        row("no proc in the file: override after sender, options first",
            "<ztinterface roottag=\"customer\"><customer/></ztinterface>", "删除|已存在时跳过",
            "001",
            "roottag=customer,updateexisting=n,skipexisting=y,codeexchanged=n,display=客户档案,"
            "family=基础档案,sender=001,proc=Delete");
        row("no override keeps the file's proc",
            "<ztinterface proc=\"Edit\" roottag=\"customer\"><customer/></ztinterface>", "普通", "",
            "proc=Edit,roottag=customer,codeexchanged=n,display=客户档案,family=基础档案");
    }
    void completion() {
        QFETCH(QByteArray, document);
        QFETCH(QString, operation);
        QFETCH(QString, sender);
        // The sample's customer entry has options; "默认" and "普通" are looked up as the
        // import run does: items with an entry use its procs.
        const bool hasEntry = operation.startsWith(QStringLiteral("删除"));
        const OperationsEntry entry{hasEntry, hasEntry ? QStringLiteral("Delete") : QString(),
                                    hasEntry ? sampleOptions(QStringLiteral("客户档案"))
                                             : QList<ImportOption>{}};
        XmlDocument doc = XmlDocument::fromBytes(document);
        QString error;
        ImportCompletion completion = kCompletion;
        completion.senderCode = sender;
        QVERIFY(completeImportDocument(doc, workOutImportDirectives(operation, entry), completion,
                                       &error));
        QTEST(attributeText(doc.root().attributes()), "expected");
        // The operator's credentials come last.
        const QList<XmlElement> children = doc.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        QCOMPARE(attributeText(children.last().attributes()),
                 QStringLiteral("operator=demo,pwd=a'b\"c,date=2026-03-15"));
    }

    void optionNamingNoAttributeFails() {
        XmlDocument doc = XmlDocument::fromBytes("<ztinterface roottag=\"x\"><x/></ztinterface>");
        const OperationsEntry entry{true, QStringLiteral("Add"), {{"坏", "bad name", ""}}};
        QString error;
        QVERIFY(!completeImportDocument(
            doc, workOutImportDirectives(QStringLiteral("添加|坏"), entry), kCompletion, &error));
        QVERIFY(error.contains(QStringLiteral("bad name")));
        QVERIFY(doc.root().firstChildElement(QStringLiteral("opinfo")).isNull());
    }

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
        QVERIFY2(document.complete(optionDirectives(optionAttribute), kCompletion, &error),
                 qPrintable(error));
        QCOMPARE(document.isSpliced(), spliced);
        const QByteArray body = document.takeBody();
        QVERIFY(document.takeBody().isEmpty());

        XmlDocument expected = XmlDocument::fromBytes(file);
        QVERIFY(completeImportDocument(expected, optionDirectives(optionAttribute), kCompletion,
                                       &error));
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
