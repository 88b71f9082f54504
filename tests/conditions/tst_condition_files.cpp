#include "conditions/condition_document.h"
#include "conditions/item_structure.h"
#include "test_folder.h"
#include "test_main.h"

#include <QFile>
#include <QStringEncoder>

using namespace kvx;

using Attributes = QList<QPair<QString, QString>>;

namespace {

const QString kCustomer = QStringLiteral("customer");
const QString kCustomerLabel = QStringLiteral("客户档案");
const QString kConditionFile = QStringLiteral("xml/operation/Condition.xml");
const QString kFailure = QStringLiteral("导入导出配置文件不存在！无法保存数据！");

// Files made on Windows: GB2312 declared, GBK bytes (GB18030 agrees on every such character).
QByteArray gbk(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

XmlDocument readBack(const test::TestFolder& folder, const QString& relative = kConditionFile) {
    return XmlDocument::fromFile(folder.filePath(relative));
}

// Every element of the item at the key, in document order (one per store, never duplicated).
QList<XmlElement> itemsAt(const XmlDocument& doc, const QString& element, const QString& label,
                          const QString& code) {
    return doc.select(QStringLiteral("//*[name()=$e and @name=$n and @code=$c]"),
                      {{"e", element}, {"n", label}, {"c", code}});
}

ConditionRow row(const QString& display, const QString& operation, const QString& value,
                 const QString& logic, const QString& type = QStringLiteral("文本")) {
    return {display, operation, value, logic, type};
}

} // namespace

class ConditionFilesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsItemsExactlyWithoutTemplateFallback() {
        test::TestFolder folder;
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(!doc.ReadConditionItem(kCustomer, kCustomerLabel, "001")); // not opened yet
        QVERIFY2(doc.OpenConditionDocument(false), qPrintable(doc.failureMessage()));
        QCOMPARE(doc.filePath(), folder.filePath(kConditionFile));

        const auto item = doc.ReadConditionItem(kCustomer, kCustomerLabel, QStringLiteral(" 001 "));
        QVERIFY(item);
        QCOMPARE(item->importFile, QString());
        const QList<ConditionRow> expected = {{"发展日期", ">=", "2020-01-01", "and", {}},
                                              {"信用额度", ">", "50000", "or", {}},
                                              {"信用期限", "<=", "30", "", {}}};
        QCOMPARE(item->conditions, expected);
        // A code without an item reads nothing, although the template exists.
        QVERIFY(!doc.ReadConditionItem(kCustomer, kCustomerLabel, "003"));
        QVERIFY(doc.ReadConditionItem(kCustomer, kCustomerLabel, ""));
        QVERIFY(!doc.ReadConditionItem(kCustomer, QStringLiteral("客户"), "001"));
        QVERIFY(!doc.isChanged());
    }

    void missingAttributesReadAsEmpty() {
        test::TestFolder folder;
        folder.write(kConditionFile,
                     "<?xml version=\"1.0\" encoding=\"gb2312\"?><c>"
                     "<x name=\"L\" code=\"1\"><field display=\"a\"/><other value=\"o\"/>"
                     "<field preserved=\"\" value=\"p\"/><field/></x></c>");
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        const auto item = doc.ReadConditionItem("x", "L", "1");
        QVERIFY(item);
        QCOMPARE(item->importFile, QString());
        QCOMPARE(item->exportFile, QString());
        const QList<ConditionRow> expected = {{"a", "", "", "", {}}, {}};
        QCOMPARE(item->conditions, expected);
    }

    void planModeOpensThePlanFileAndOpensOnce() {
        test::TestFolder folder;
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(true));
        QCOMPARE(doc.filePath(),
                 folder.filePath(QStringLiteral("xml/operation/ScheCondition.xml")));
        QVERIFY(
            doc.ReadConditionItem(QStringLiteral("paymentbill"), QStringLiteral("付款单"), "002"));
        QVERIFY(doc.OpenConditionDocument(false)); // a second call changes nothing
        QCOMPARE(doc.filePath(),
                 folder.filePath(QStringLiteral("xml/operation/ScheCondition.xml")));
    }

    void fileThatFailsToLoadIsNeverWritten_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("malformed") << QByteArray("<?xml version=\"1.0\"?><condition><customer>");
        QTest::newRow("not xml") << gbk(QStringLiteral("条件"));
    }
    void fileThatFailsToLoadIsNeverWritten() {
        QFETCH(QByteArray, content);
        test::TestFolder folder;
        QFile::remove(folder.filePath(kConditionFile));
        if (!content.isEmpty())
            folder.write(kConditionFile, content);
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(!doc.OpenConditionDocument(false));
        QCOMPARE(doc.failureMessage(),
                 QDir::toNativeSeparators(folder.filePath(kConditionFile)) + kFailure);
        QVERIFY(!doc.ReadConditionItem(kCustomer, kCustomerLabel, ""));
        QVERIFY(!doc.StoreConditionItem(kCustomer, kCustomerLabel, "001", "a", "b", {}, {}));
        QVERIFY(!doc.WriteConditionFile());
        QCOMPARE(QFile::exists(folder.filePath(kConditionFile)), !content.isEmpty());
        QCOMPARE(folder.read(kConditionFile), content);

        // The file restored, the next call loads it.
        folder.write(
            kConditionFile,
            gbk(QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?><condition/>")));
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.failureMessage().isEmpty());
    }

    void firstSaveCopiesTheTemplate() {
        test::TestFolder folder;
        folder.write(
            kConditionFile,
            gbk(QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<condition>\n"
                "  <customer exportfile=\"t.xml\" name=\"客户档案\" owner=\"财务\" code=\"\" "
                "importfile=\"\">\n"
                "    <field display=\"客户分类\" name=\"class\" operation=\"=\" value=\"01\" "
                "logic=\"and\"/>\n"
                "    <rule preserved=\"yes\" kind=\"fixed\" logic=\"and\"/>\n"
                "    <field preserved=\"1\" display=\"停用\" name=\"disabled\"/>\n"
                "  </customer>\n  <vendor name=\"供应商档案\" code=\"\"/>\n</condition>\n")));
        const QByteArray before = folder.read(kConditionFile);
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        const ItemStructure fields = ItemStructure::load(AppFolder(folder.path()), kCustomer);
        QVERIFY(doc.StoreConditionItem(
            kCustomer, kCustomerLabel, QStringLiteral(" 003 "), QStringLiteral("  in.xml "),
            QString(),
            {row("信用额度", ">=", "100", "and", "小数"), row("停用", "=", "0", "or", "布尔")},
            fields));
        QVERIFY(doc.isChanged());
        QCOMPARE(folder.read(kConditionFile), before); // stored in memory only
        QVERIFY(doc.WriteConditionFile());
        QVERIFY(!doc.isChanged());

        const XmlDocument saved = readBack(folder);
        const XmlElement copy = saved.root().childElements().last();
        QCOMPARE(itemsAt(saved, kCustomer, kCustomerLabel, "003"), QList<XmlElement>{copy});
        QCOMPARE(copy.attributes(), (Attributes{{"exportfile", ""},
                                                {"name", "客户档案"},
                                                {"owner", "财务"},
                                                {"code", "003"},
                                                {"importfile", "in.xml"}}));
        const QList<XmlElement> children = copy.childElements();
        QCOMPARE(children.size(), 3);
        QCOMPARE(children[0].name(), QStringLiteral("rule"));
        QCOMPARE(children[0].attributes(),
                 (Attributes{{"preserved", "yes"}, {"kind", "fixed"}, {"logic", "and"}}));
        QCOMPARE(children[1].attributes(), (Attributes{{"display", "信用额度"},
                                                       {"name", "creditline"},
                                                       {"operation", ">="},
                                                       {"value", "100"},
                                                       {"logic", "and"}}));
        QCOMPARE(children[2].attribute("name"), QStringLiteral("disabled"));
        QCOMPARE(children[2].attribute("logic"), QString());
        // The template is untouched.
        const XmlElement templ = saved.root().firstChildElement();
        QCOMPARE(templ.attribute("code"), QString());
        QCOMPARE(templ.childElements().size(), 3);
        QCOMPARE(templ.attribute("exportfile"), QStringLiteral("t.xml"));
    }

    void firstSaveWithoutTemplateMakesANewItem() {
        test::TestFolder folder;
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        const ItemStructure fields =
            ItemStructure::load(AppFolder(folder.path()), QStringLiteral("warehouse"));
        QVERIFY(doc.StoreConditionItem(QStringLiteral("warehouse"), QStringLiteral("仓库档案"),
                                       "007", " in.xml", "out.xml ",
                                       {row("仓库编码", "=", "W01", "and")}, fields));
        QVERIFY(doc.WriteConditionFile());
        const XmlDocument saved = readBack(folder);
        const XmlElement item = saved.root().childElements().last();
        QCOMPARE(item.name(), QStringLiteral("warehouse"));
        QCOMPARE(item.attributes(), (Attributes{{"name", "仓库档案"},
                                                {"code", "007"},
                                                {"importfile", "in.xml"},
                                                {"exportfile", "out.xml"}}));
        QCOMPARE(item.childElements().size(), 1);
        QCOMPARE(item.firstChildElement().attribute("name"), QStringLiteral("code"));
        QCOMPARE(item.firstChildElement().attribute("logic"), QString());
    }

    void storingReplacesTheRows_data() {
        QTest::addColumn<QList<ConditionRow>>("rows");
        QTest::addColumn<QStringList>("written"); // display=value of each field after the kept one
        QTest::addColumn<QString>("preservedLogic");
        QTest::newRow("empty grid keeps the preserved element as it is")
            << QList<ConditionRow>{} << QStringList{} << "and";
        QTest::newRow("no row qualifies: the preserved element ends the conditions")
            << QList<ConditionRow>{row("停用", "", "1", "and", "布尔"), row("", "=", "1", "and")}
            << QStringList{} << "";
        QTest::newRow("text field compared with the empty string")
            << QList<ConditionRow>{row("客户名称", "=", "", "and", "文本")}
            << QStringList{"客户名称=|name|"} << "and";
        QTest::newRow("empty value of other types is not written")
            << QList<ConditionRow>{row("客户分类", "=", "01", "or"),
                                   row("信用额度", ">", "", "and", "小数"),
                                   row("发展日期", "=", "", "and", "")}
            << QStringList{"客户分类=01|class|"} << "and";
        QTest::newRow("unknown display text and Today as typed")
            << QList<ConditionRow>{row("发展日期", "<=", "Today", "and", "日期"),
                                   row("不存在", "<>", "x", "or")}
            << QStringList{"发展日期=Today|devdate|and", "不存在=x||"} << "and";
    }
    void storingReplacesTheRows() {
        QFETCH(QList<ConditionRow>, rows);
        QFETCH(QStringList, written);
        QFETCH(QString, preservedLogic);
        test::TestFolder folder;
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        const ItemStructure fields = ItemStructure::load(AppFolder(folder.path()), kCustomer);
        QVERIFY(doc.StoreConditionItem(kCustomer, kCustomerLabel, "001", "a.xml", "b.xml", rows,
                                       fields));
        QVERIFY(doc.WriteConditionFile());

        const XmlDocument saved = readBack(folder);
        const QList<XmlElement> items = itemsAt(saved, kCustomer, kCustomerLabel, "001");
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].attribute("importfile"), QStringLiteral("a.xml"));
        QCOMPARE(items[0].attribute("exportfile"), QStringLiteral("b.xml"));
        QList<XmlElement> children = items[0].childElements();
        QVERIFY(!children.isEmpty());
        const XmlElement preserved = children.takeFirst();
        QCOMPARE(preserved.attribute("preserved"), QStringLiteral("1"));
        QCOMPARE(preserved.attribute("logic"), preservedLogic);
        QStringList actual;
        for (const XmlElement& field : children)
            actual << field.attribute("display") + "=" + field.attribute("value") + "|" +
                          field.attribute("name") + "|" + field.attribute("logic");
        QCOMPARE(actual, written);
        // What the editor reads back is what it stored.
        ConditionDocument again{AppFolder(folder.path())};
        QVERIFY(again.OpenConditionDocument(false));
        QCOMPARE(again.ReadConditionItem(kCustomer, kCustomerLabel, "001")->conditions.size(),
                 written.size());
    }

    void codesAndLabelsAreTakenAsPlainText_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("code");
        QTest::newRow("apostrophe in the code") << "客户档案"
                                                << "O'01";
        QTest::newRow("expression in the code") << "客户档案"
                                                << "' or @code='001";
        QTest::newRow("brackets and quotes in the label") << "客户\"档案]'"
                                                          << "001";
    }
    void codesAndLabelsAreTakenAsPlainText() {
        QFETCH(QString, label);
        QFETCH(QString, code);
        test::TestFolder folder;
        const AppFolder app(folder.path());
        ConditionDocument doc{app};
        QVERIFY(doc.OpenConditionDocument(false));
        const ItemStructure fields = ItemStructure::load(app, kCustomer);
        QVERIFY(!doc.ReadConditionItem(kCustomer, label, code));
        for (const QString& value : {QStringLiteral("1"), QStringLiteral("2")})
            QVERIFY(doc.StoreConditionItem(kCustomer, label, code, "", "",
                                           {row("客户编码", "=", value, "")}, fields));
        QCOMPARE(doc.ReadConditionItem(kCustomer, label, code)->conditions.first().value,
                 QStringLiteral("2"));
        QVERIFY(doc.WriteConditionFile());

        const XmlDocument saved = readBack(folder);
        QCOMPARE(itemsAt(saved, kCustomer, label, code).size(), 1);
        // The sample's items are as they were.
        QCOMPARE(itemsAt(saved, kCustomer, kCustomerLabel, "001").first().childElements().size(),
                 4);
        const ConditionItemIndex index(saved);
        QCOMPARE(index.findForSender(kCustomer, label, code),
                 itemsAt(saved, kCustomer, label, code).first());
    }

    void runsFindTheSenderItemElseTheTemplate() {
        const XmlDocument doc = XmlDocument::fromBytes(
            "<c><x name=\"L\" code=\"\" n=\"t\"/><x name=\"L\" code=\"001\" n=\"first\"/>"
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
        test::TestFolder folder;
        folder.write(kConditionFile,
                     "<?xml version=\"1.0\" encoding=\"gb2312\"?><c><x name=\"L\" code=\"1\">"
                     "<x name=\"L\" code=\"2\"/></x><x name=\"L\" code=\"\"/></c>");
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.ReadConditionItem("x", "L", "2"));
        QVERIFY(doc.StoreConditionItem("x", "L", "1", "", "", {}, {}));
        QVERIFY(!doc.ReadConditionItem("x", "L", "2"));
        QVERIFY(doc.StoreConditionItem("x", "L", "2", "p", "", {}, {}));
        QCOMPARE(doc.ReadConditionItem("x", "L", "2")->importFile, QStringLiteral("p"));
    }

    void readOnlyFileIsOverwrittenAndLeftWritable() {
        test::TestFolder folder;
        const QString path = folder.filePath(kConditionFile);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.StoreConditionItem(kCustomer, kCustomerLabel, "001", "new.xml", "", {}, {}));
        QVERIFY2(doc.WriteConditionFile(), qPrintable(doc.failureMessage()));
        QVERIFY(QFileInfo(path).isWritable());
        QCOMPARE(itemsAt(readBack(folder), kCustomer, kCustomerLabel, "001")
                     .first()
                     .attribute("importfile"),
                 QStringLiteral("new.xml"));
    }

    void failedWriteIsReported() {
        test::TestFolder folder;
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.StoreConditionItem(kCustomer, kCustomerLabel, "001", "x", "", {}, {}));
        // A folder where the file was: no user, root included, can replace it by a file.
        QVERIFY(QFile::remove(doc.filePath()));
        QVERIFY(QDir().mkdir(doc.filePath()));
        QVERIFY(!doc.WriteConditionFile());
        QVERIFY(doc.failureMessage().startsWith(QDir::toNativeSeparators(doc.filePath())));
        QVERIFY(doc.isChanged());
    }

    void gb2312FileRoundTrip() {
        test::TestFolder folder;
        const QString beyondGbk = QString::fromUcs4(U"\U00020000");
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.StoreConditionItem(kCustomer, kCustomerLabel, "001",
                                       QStringLiteral("D:\\数据\\堃源") + beyondGbk + ".xml", "",
                                       {row("客户名称", "=", "杭州堃源", "")},
                                       ItemStructure::load(AppFolder(folder.path()), kCustomer)));
        QVERIFY(doc.WriteConditionFile());
        const QByteArray bytes = folder.read(kConditionFile);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QVERIFY(bytes.contains(gbk(QStringLiteral("杭州堃源"))));
        QVERIFY(bytes.contains("&#131072;"));
        // Items not stored keep their text and layout.
        const QByteArray untouched = gbk(QStringLiteral(
            "  <customer name=\"客户档案\" code=\"002\" importfile=\"\" exportfile=\"\">\n"
            "    <field display=\"客户编码\" name=\"code\" operation=\"&gt;=\" value=\"C003\" "
            "logic=\"and\"/>\n"));
        QVERIFY(bytes.contains(untouched));
        // The stored item is indented like the others.
        QVERIFY(
            bytes.contains(gbk(QStringLiteral("\n  <customer name=\"客户档案\" code=\"001\" "
                                              "importfile=\"D:\\数据\\堃源&#131072;.xml\" "
                                              "exportfile=\"\">\n    <field preserved=\"1\" "))));
        QVERIFY(bytes.contains(gbk(QStringLiteral(
            "\n    <field display=\"客户名称\" name=\"name\" operation=\"=\" value=\"杭州堃源\" "
            "logic=\"\"/>\n  </customer>\n"))));

        ConditionDocument again{AppFolder(folder.path())};
        QVERIFY(again.OpenConditionDocument(false));
        const auto item = again.ReadConditionItem(kCustomer, kCustomerLabel, "001");
        QCOMPARE(item->importFile, QStringLiteral("D:\\数据\\堃源") + beyondGbk + ".xml");
        QCOMPARE(item->conditions.first().value, QStringLiteral("杭州堃源"));
    }

    void windowWithoutReadOrStoreWritesNothing() {
        test::TestFolder folder;
        const QByteArray before = folder.read(kConditionFile);
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(!doc.WriteConditionFile());
        QCOMPARE(folder.read(kConditionFile), before);
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
        QVERIFY(fields.isLoaded());
        const QList<ConditionField> expected = {
            {"编码", "文本"}, {"备注", "文本"}, {"停用", ""}, {"编码", "文本"}};
        QCOMPARE(fields.LoadFieldList(), expected);
        QCOMPARE(fields.FieldNameOf("编码"), QStringLiteral("code")); // the first one
        QCOMPARE(fields.FieldNameOf("备注"), QStringLiteral("memo"));
        QCOMPARE(fields.FieldNameOf("隐藏"), QStringLiteral("hidden"));
        QCOMPARE(fields.FieldNameOf("未知"), QString());
        QCOMPARE(fields.FieldNameOf(""), QString());
    }

    void missingItemStructureFile() {
        test::TestFolder folder;
        const ItemStructure fields = ItemStructure::load(AppFolder(folder.path()), "nosuchitem");
        QVERIFY(!fields.isLoaded());
        QVERIFY(fields.LoadFieldList().isEmpty());
        QCOMPARE(fields.FieldNameOf(QStringLiteral("客户编码")), QString());
        // Conditions are still stored, without field names.
        ConditionDocument doc{AppFolder(folder.path())};
        QVERIFY(doc.OpenConditionDocument(false));
        QVERIFY(doc.StoreConditionItem(kCustomer, kCustomerLabel, "002", "", "",
                                       {row("客户编码", "=", "C1", "")}, fields));
        QVERIFY(doc.WriteConditionFile());
        const XmlDocument saved = readBack(folder);
        const XmlElement field =
            itemsAt(saved, kCustomer, kCustomerLabel, "002").first().firstChildElement();
        QCOMPARE(field.attribute("display"), QStringLiteral("客户编码"));
        QVERIFY(field.hasAttribute("name"));
        QCOMPARE(field.attribute("name"), QString());
    }
};

KVX_TEST_MAIN_CORE(ConditionFilesTest)
#include "tst_condition_files.moc"
