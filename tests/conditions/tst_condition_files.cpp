#include "conditions/condition_document.h"
#include "conditions/item_structure.h"
#include "element_outline.h"
#include "test_folder.h"
#include "test_main.h"

#include <QFile>
#include <QStringEncoder>

using namespace kvx;
using test::outline;

namespace {

const QString kCustomer = QStringLiteral("customer");
const QString kCustomerLabel = QStringLiteral("客户档案");
const QString kConditionFile = QStringLiteral("xml/operation/Condition.xml");

// Files made on Windows: GB2312 declared, GBK bytes (GB18030 agrees on every such character).
QByteArray gbk(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

ConditionRow row(const QString& display, const QString& operation, const QString& value,
                 const QString& logic, const QString& type = QStringLiteral("文本")) {
    return {display, operation, value, logic, type};
}

// A sample application folder and the condition editor's document of it.
struct Sample {
    test::TestFolder folder;
    AppFolder app{folder.path()};
    ConditionDocument doc{app};
    ItemStructure customerFields = ItemStructure::load(app, kCustomer);

    bool store(const QString& code, const QString& importPath, const QList<ConditionRow>& rows,
               const QString& label = kCustomerLabel) {
        return doc.OpenConditionDocument(false) &&
               doc.StoreConditionItem(kCustomer, label, code, importPath, {}, rows, customerFields);
    }
    // The file as written; its elements stay valid until the next call.
    const XmlDocument& saved() {
        written = XmlDocument::fromFile(folder.filePath(kConditionFile));
        return written;
    }
    XmlDocument written;
    // Every element of the item at the key, in document order (one per store, never two).
    QList<XmlElement> itemsAt(const XmlDocument& doc, const QString& code,
                              const QString& label = kCustomerLabel) const {
        return doc.select(QStringLiteral("//customer[@name=$n and @code=$c]"),
                          {{"n", label}, {"c", code}});
    }
};

} // namespace

class ConditionFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsItemsExactlyWithoutTemplateFallback() {
        Sample s;
        QVERIFY(!s.doc.ReadConditionItem(kCustomer, kCustomerLabel, "001")); // not opened yet
        QVERIFY(s.doc.OpenConditionDocument(false));
        const auto item = s.doc.ReadConditionItem(kCustomer, kCustomerLabel, " 001 ");
        QVERIFY(item);
        const QList<ConditionRow> expected = {{"发展日期", ">=", "2020-01-01", "and", {}},
                                              {"信用额度", ">", "50000", "or", {}},
                                              {"信用期限", "<=", "30", "", {}}};
        QCOMPARE(item->conditions, expected);
        // A code without an item reads nothing, although the template exists.
        QVERIFY(!s.doc.ReadConditionItem(kCustomer, kCustomerLabel, "003"));
        QVERIFY(!s.doc.ReadConditionItem(kCustomer, QStringLiteral("客户"), "001"));
    }

    void missingAttributesReadAsEmpty() {
        Sample s;
        s.folder.write(kConditionFile, "<?xml version=\"1.0\" encoding=\"gb2312\"?><c>"
                                       "<x name=\"L\" code=\"1\"><field display=\"a\"/>"
                                       "<other value=\"o\"/><field/></x></c>");
        QVERIFY(s.doc.OpenConditionDocument(false));
        const auto item = s.doc.ReadConditionItem("x", "L", "1");
        QCOMPARE(item->importFile, QString());
        QCOMPARE(item->conditions, (QList<ConditionRow>{{"a", "", "", "", {}}, {}}));
    }

    void planModeOpensThePlanFileAndOpensOnce() {
        Sample s;
        QVERIFY(s.doc.OpenConditionDocument(true));
        QVERIFY(s.doc.ReadConditionItem("paymentbill", QStringLiteral("付款单"), "002"));
        QVERIFY(s.doc.OpenConditionDocument(false)); // a second call changes nothing
        QCOMPARE(s.doc.filePath(), s.folder.filePath("xml/operation/ScheCondition.xml"));
    }

    void fileThatFailsToLoadIsNeverWritten() {
        Sample s;
        const QByteArray content = "<?xml version=\"1.0\"?><condition><customer>";
        s.folder.write(kConditionFile, content);
        QString error;
        QVERIFY(!s.doc.OpenConditionDocument(false, &error));
        QCOMPARE(error, QDir::toNativeSeparators(s.folder.filePath(kConditionFile)) +
                            "导入导出配置文件不存在！无法保存数据！");
        QVERIFY(!s.store("001", "a", {}));
        QVERIFY(!s.doc.ReadConditionItem(kCustomer, kCustomerLabel, ""));
        QVERIFY(!s.doc.WriteConditionFile());
        QCOMPARE(s.folder.read(kConditionFile), content);

        // The file restored, the next call loads it.
        s.folder.write(kConditionFile, "<?xml version=\"1.0\" encoding=\"gb2312\"?><condition/>");
        QVERIFY(s.doc.OpenConditionDocument(false));
    }

    // What a store leaves in the file: the item of the code, else a copy of the template,
    // else a new item; its first preserved element, then the rows that qualify, with their
    // field names, the last without connective.
    void storedItems_data() {
        QTest::addColumn<QByteArray>("file"); // empty: the sample's
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QList<ConditionRow>>("rows");
        QTest::addColumn<QString>("expected");
        const QString preserved =
            "field(preserved=1,display=停用,name=disabled,operation==,value=0,logic=";
        const QString item001 =
            "customer(name=客户档案,code=001,importfile=in.xml,exportfile=out.xml)[";
        QTest::newRow("template copied")
            << gbk(QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<condition>\n"
                   "  <customer exportfile=\"t.xml\" name=\"客户档案\" owner=\"财务\" code=\"\" "
                   "importfile=\"\">\n    <field display=\"客户分类\" name=\"class\"/>\n"
                   "    <rule preserved=\"yes\" logic=\"and\"/><field preserved=\"1\"/>\n"
                   "  </customer>\n</condition>\n"))
            << kCustomer << " 003 "
            << QList<ConditionRow>{row("信用额度", ">=", "100", "and", "小数"),
                                   row("停用", "=", "0", "or")}
            << "customer(exportfile=out.xml,name=客户档案,owner=财务,code=003,importfile=in.xml)["
               "rule(preserved=yes,logic=and) field(display=信用额度,name=creditline,operation=>=,"
               "value=100,logic=and) field(display=停用,name=disabled,operation==,value=0,logic=)]";
        // Conditions as a store writes them are written over; anything else goes.
        QTest::newRow("stored again")
            << gbk(QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<condition>\n"
                   "<customer name=\"客户档案\" code=\"\"><field display=\"x\"/></customer>\n"
                   "<customer name=\"客户档案\" code=\"005\" importfile=\"\" exportfile=\"\">\n"
                   "<field display=\"客户名称\" name=\"name\" operation=\"=\" value=\"甲\" "
                   "logic=\"and\"/><!-- 备注 -->\n<field display=\"信用额度\" name=\"creditline\" "
                   "operation=\"&gt;\" value=\"1\" logic=\"and\" extra=\"e\"/>\n"
                   "<rule preserved=\"1\" logic=\"or\"/>\n<field display=\"停用\" "
                   "name=\"disabled\" operation=\"=\" value=\"0\" logic=\"\">文字</field>\n"
                   "<field display=\"客户名称\" name=\"name\" operation=\"&lt;\" value=\"9\" "
                   "logic=\"\"/><field display=\"停用\" name=\"disabled\" operation=\"=\" "
                   "value=\"0\" logic=\"\"/>\n</customer>\n</condition>\n"))
            << kCustomer << "005"
            << QList<ConditionRow>{row("客户名称", "=", "丙", "and"),
                                   row("信用额度", ">=", "100", "or", "小数")}
            << "customer(name=客户档案,code=005,importfile=in.xml,exportfile=out.xml)["
               "rule(preserved=1,logic=or) field(display=客户名称,name=name,operation==,value=丙,"
               "logic=and) field(display=信用额度,name=creditline,operation=>=,value=100,logic=)]";
        QTest::newRow("new item without template")
            << QByteArray() << "warehouse"
            << "007" << QList<ConditionRow>{row("仓库编码", "=", "W01", "and")}
            << "warehouse(name=仓库档案,code=007,importfile=in.xml,exportfile=out.xml)["
               "field(display=仓库编码,name=code,operation==,value=W01,logic=)]";
        QTest::newRow("empty grid keeps the preserved element as it is")
            << QByteArray() << kCustomer << "001" << QList<ConditionRow>{}
            << item001 + preserved + "and)]";
        QTest::newRow("no row qualifies: the preserved element ends the conditions")
            << QByteArray() << kCustomer << "001"
            << QList<ConditionRow>{row("停用", "", "1", "and", "布尔"), row("", "=", "1", "and")}
            << item001 + preserved + ")]";
        QTest::newRow("empty value written for text fields only")
            << QByteArray() << kCustomer << "001"
            << QList<ConditionRow>{row("客户名称", "=", "", "or", "文本"),
                                   row("信用额度", ">", "", "and", "小数"),
                                   row("发展日期", "=", "", "and", "")}
            << item001 + preserved +
                   "and) field(display=客户名称,name=name,operation==,value=,logic=)]";
        QTest::newRow("unknown display text and Today as typed")
            << QByteArray() << kCustomer << "001"
            << QList<ConditionRow>{row("发展日期", "<=", "Today", "and", "日期"),
                                   row("不存在", "<>", "x", "or")}
            << item001 + preserved +
                   "and) field(display=发展日期,name=devdate,operation=<=,value=Today,logic=and) "
                   "field(display=不存在,name=,operation=<>,value=x,logic=)]";
    }
    void storedItems() {
        QFETCH(QByteArray, file);
        QFETCH(QString, element);
        QFETCH(QString, code);
        QFETCH(QList<ConditionRow>, rows);
        Sample s;
        if (!file.isEmpty())
            s.folder.write(kConditionFile, file);
        const QString label = element == kCustomer ? kCustomerLabel : QStringLiteral("仓库档案");
        QVERIFY(s.doc.OpenConditionDocument(false));
        QVERIFY(s.doc.StoreConditionItem(element, label, code, "  in.xml ", " out.xml", rows,
                                         ItemStructure::load(s.app, element)));
        QVERIFY(s.doc.WriteConditionFile());
        const QList<XmlElement> stored =
            s.saved().select("//*[name()=$e and @name=$n and @code=$c]",
                             {{"e", element}, {"n", label}, {"c", code.trimmed()}});
        QCOMPARE(stored.size(), 1);
        QTEST(outline(stored.first()), "expected");
        QVERIFY(stored.first().text().trimmed().isEmpty());
        QVERIFY(!stored.first().toXml().contains("<!--"));
        // A template stays as it was.
        const XmlElement templ = s.written.root().firstChildElement();
        QCOMPARE(templ.attribute("code"), QString());
        QVERIFY(templ.hasChildElements());
    }

    void codesAndLabelsAreTakenAsPlainText_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("code");
        QTest::newRow("expression in the code") << kCustomerLabel << "O' or @code='001";
        QTest::newRow("brackets and quotes in the label") << "客户\"档案]'"
                                                          << "001";
    }
    void codesAndLabelsAreTakenAsPlainText() {
        QFETCH(QString, label);
        QFETCH(QString, code);
        Sample s;
        QVERIFY(s.doc.OpenConditionDocument(false));
        QVERIFY(!s.doc.ReadConditionItem(kCustomer, label, code));
        for (const QString& value : {QStringLiteral("1"), QStringLiteral("2")})
            QVERIFY(s.store(code, "", {row("客户编码", "=", value, "")}, label));
        QCOMPARE(s.doc.ReadConditionItem(kCustomer, label, code)->conditions.first().value,
                 QStringLiteral("2"));
        QVERIFY(s.doc.WriteConditionFile());

        const XmlDocument& saved = s.saved();
        QCOMPARE(s.itemsAt(saved, code, label).size(), 1);
        QCOMPARE(s.itemsAt(saved, "001").first().childElements().size(), 4); // as it was
        QCOMPARE(ConditionItemIndex(saved).findForSender(kCustomer, label, code),
                 s.itemsAt(saved, code, label).first());
    }

    void runsFindTheSenderItemElseTheTemplate() {
        const XmlDocument doc = XmlDocument::fromBytes(
            "<c xmlns:p=\"urn:p\"><x name=\"L\" p:code=\"\" n=\"prefixed\"/>"
            "<x name=\"L\" code=\"\" n=\"t\"/><x name=\"L\" code=\"001\" n=\"first\"/>"
            "<g><x name=\"L\" code=\"001\" n=\"second\"/></g><y name=\"L\" code=\"002\"/>"
            "<x name=\"l\" code=\"002\"/></c>");
        const ConditionItemIndex index(doc);
        QCOMPARE(index.findForSender("x", "L", " 001 ").attribute("n"), QStringLiteral("first"));
        QCOMPARE(index.findForSender("x", "L", "002").attribute("n"), QStringLiteral("t"));
        QCOMPARE(index.find("x", "L", "002"), XmlElement());
        QCOMPARE(index.find("y", "L", "002").name(), QStringLiteral("y"));
        QVERIFY(index.findForSender("z", "L", "001").isNull());
    }

    void storeDropsNestedItemsFromTheLookup() {
        // An item nested in another disappears when the outer item is stored.
        Sample s;
        s.folder.write(kConditionFile,
                       "<?xml version=\"1.0\" encoding=\"gb2312\"?><c>"
                       "<x name=\"L\" code=\"1\"><x name=\"L\" code=\"2\"/></x></c>");
        QVERIFY(s.doc.OpenConditionDocument(false));
        QVERIFY(s.doc.ReadConditionItem("x", "L", "2"));
        QVERIFY(s.doc.StoreConditionItem("x", "L", "1", "", "", {}, {}));
        QVERIFY(!s.doc.ReadConditionItem("x", "L", "2"));
        QVERIFY(s.doc.StoreConditionItem("x", "L", "2", "p", "", {}, {}));
        QCOMPARE(s.doc.ReadConditionItem("x", "L", "2")->importFile, QStringLiteral("p"));
    }

    void readOnlyFileIsOverwrittenAndLeftWritable() {
        Sample s;
        const QString path = s.folder.filePath(kConditionFile);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
        const QByteArray before = s.folder.read(kConditionFile);
        QVERIFY(s.store("001", "new.xml", {}));
        QVERIFY(s.doc.isChanged());
        QCOMPARE(s.folder.read(kConditionFile), before); // stored in memory only
        QVERIFY(s.doc.WriteConditionFile());
        QVERIFY(!s.doc.isChanged());
        QVERIFY(QFileInfo(path).isWritable());
        QCOMPARE(s.itemsAt(s.saved(), "001").first().attribute("importfile"),
                 QStringLiteral("new.xml"));
    }

    void storedItemsKeepTheFileLayout() {
        Sample s;
        const QString beyondGbk = QString::fromUcs4(U"\U00020000");
        QVERIFY(s.store("001", QStringLiteral("D:\\堃源") + beyondGbk,
                        {row("客户名称", "=", "杭州堃源", "")}));
        QVERIFY(s.doc.WriteConditionFile());
        const QByteArray bytes = s.folder.read(kConditionFile);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        // Items not stored keep their text, and the layout the console writes.
        QVERIFY(bytes.contains(gbk(QStringLiteral(
            "  <customer name=\"客户档案\" code=\"002\" importfile=\"\" exportfile=\"\">\n"
            "    <field display=\"客户编码\" name=\"code\" operation=\"&gt;=\" value=\"C003\" "
            "logic=\"and\"/>\n"))));
        // The stored item is indented like the others.
        QVERIFY(
            bytes.contains(gbk(QStringLiteral("\n  <customer name=\"客户档案\" code=\"001\" "
                                              "importfile=\"D:\\堃源&#131072;\" "
                                              "exportfile=\"\">\n    <field preserved=\"1\" "))));
        QVERIFY(bytes.contains(gbk(QStringLiteral(
            "\n    <field display=\"客户名称\" name=\"name\" operation=\"=\" value=\"杭州堃源\" "
            "logic=\"\"/>\n  </customer>\n"))));
    }

    void fieldListAndNames() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(
            "Xml/RSXML/testxmlrs.xml",
            gbk(QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"gb2312\"?><xmlrs><common>"
                "<code display=\"编码\" iswhere=\"Y\" type=\"文本\">code</code>"
                "<memo display=\"备注\" iswhere=\"y\"> memo </memo>"
                "<hidden display=\"隐藏\" iswhere=\"N\" type=\"整数\">hidden</hidden>"
                "<amount display=\"金额\" iswhere=\"yes\" type=\"小数\">amount</amount>"
                "<flag display=\"停用\" iswhere=\"Y\" type=\"\">disabled</flag>"
                "</common><body><code display=\"编码\" iswhere=\"Y\">entrycode</code></body>"
                "</xmlrs>")));
        const ItemStructure fields = ItemStructure::load(AppFolder(folder.path()), "test");
        const QList<ConditionField> expected = {
            {"编码", "文本"}, {"备注", "文本"}, {"停用", ""}, {"编码", "文本"}};
        QCOMPARE(fields.LoadFieldList(), expected);
        QCOMPARE(fields.FieldNameOf("编码"), QStringLiteral("code")); // the first one
        QCOMPARE(fields.FieldNameOf("备注"), QStringLiteral("memo"));
        QCOMPARE(fields.FieldNameOf("隐藏"), QStringLiteral("hidden"));
        QCOMPARE(fields.FieldNameOf("未知"), QString());

        // Without the file there are no fields; conditions are still stored, unnamed.
        QVERIFY(ItemStructure::load(AppFolder(folder.path()), "none").LoadFieldList().isEmpty());
        Sample s;
        s.customerFields = ItemStructure();
        QVERIFY(s.store("002", "", {row("客户编码", "=", "C1", "")}));
        QVERIFY(s.doc.WriteConditionFile());
        QCOMPARE(outline(s.itemsAt(s.saved(), "002").first().firstChildElement()),
                 "field(display=客户编码,name=,operation==,value=C1,logic=)");
    }
};

KVX_TEST_MAIN_CORE(ConditionFilesTest)
#include "tst_condition_files.moc"
