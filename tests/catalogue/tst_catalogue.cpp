#include "account_database.h"
#include "catalogue/account_subsystems.h"
#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QStringEncoder>

using namespace kvx;
using test::TestFolder;

namespace {

const QString kDirFile = QStringLiteral("xml/operation/Dir.xml");
const QString kOperationsFile = QStringLiteral("xml/operation/ImOperation.xml");

// Files made on Windows: declared gb2312, written in code page 936.
QByteArray gb2312(const QString& body) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?>\n") + body);
}

QStringList rulesText(const QList<OperationRule>& rules) {
    QStringList result;
    for (const OperationRule& rule : rules)
        result.append(rule.kind + QLatin1Char(':') + rule.target);
    return result;
}

// An operations file with the lookup cases: entries repeated, empty, without attributes, with
// too many options, too deep.
const QString kOperationsWithEdgeCases = QStringLiteral(R"(<ImOperation><甲组>
    <!-- a comment before the first entry -->
    <重复项><操作><添加 proc="first"/></操作></重复项>
    <空操作><操作/><选项><甲/></选项></空操作>
    <无子元素>text only</无子元素>
    <缺属性><操作><添加/><删除 proc=""/></操作><选项><甲/><乙 name="b"/><丙 mode="m"/></选项></缺属性>
    <多选项><!-- the containers are the first two child elements, whatever comes between -->
      <操作><添加 proc="Add"><required>
        选项六  </required></添加></操作> text <选项><一/><二/><三/><四/><五/><六/><七/></选项>
      <第三个子元素><忽略/></第三个子元素></多选项>
    <深层><嵌套><藏起来><操作><添加/></操作></藏起来></嵌套></深层>
  </甲组><乙组>
    <重复项><操作><添加 proc="second"/></操作></重复项>
    <修改 proc="group-level"/>
  </乙组></ImOperation>)");

// A sample application folder with its catalogue and operations file loaded.
struct Sample {
    TestFolder folder;
    AppFolder app{folder.path()};
    Catalogue catalogue;
    OperationsFile operations;
    bool load() { return catalogue.load(app) && operations.load(app); }
};

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsFirstMatchInDocumentOrder() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("XML/Operation/DIR.XML",
                     gb2312("<根><!-- 注释 --><?pi 忽略?>文字<甲><乙><丙 name=\"deep\"/></乙>"
                            "<丁 name=\"d\">  </丁></甲><丙 name=\"shallow\"/></根>"));
        Catalogue catalogue;
        QVERIFY(catalogue.load(AppFolder(folder.path())));
        // Document order, not nearness to the root: what "//丙" selects.
        QCOMPARE(catalogue.item(QStringLiteral("丙")).interfaceName, QStringLiteral("deep"));
        QCOMPARE(catalogue.item(QStringLiteral("丙")).family, QStringLiteral("乙"));
        // An element with only text is an item; comments, instructions and text are no nodes.
        QVERIFY(Catalogue::isItem(catalogue.find(QStringLiteral("丁"))));
        QCOMPARE(catalogue.root().childElements().size(), 2);
        // The root is the catalogue itself, never an item; a group is no item either.
        QVERIFY(catalogue.item(QStringLiteral("根")).isNull());
        QVERIFY(catalogue.item(QStringLiteral("甲")).isNull());
    }

    // Labels are compared as text, never run as expressions.
    void labelsAreNeverExpressions() {
        Sample s;
        QVERIFY(s.load());
        for (const QString label : {"*", "部门档案 | //*", "x' or '1'='1", "凭证[1]", "..", ""}) {
            QVERIFY2(s.catalogue.find(label).isNull(), qPrintable(label));
            QVERIFY(s.catalogue.item(label).isNull());
            QVERIFY(s.operations.findEntryElement(label).isNull());
            QVERIFY(s.operations.findOperationElement(label).isNull());
            QCOMPARE(s.operations.entryFor(label).operations.size(), 4);
        }
    }

    void missingFileMessagesShowTheNativeFullPath() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        const QString operationFolder = QDir::toNativeSeparators(folder.path() + "/xml/operation/");
        QCOMPARE(Catalogue::missingFileMessage(app), operationFolder + "dir.xml文件不存在！");
        QCOMPARE(OperationsFile::missingFileMessage(app),
                 operationFolder + "ImOperation.xml文件不存在！");
        // A file that is there but unreadable is named as it is spelled on disk.
        folder.write("Xml/Operation/DIR.xml", "not xml");
        QCOMPARE(Catalogue::missingFileMessage(app),
                 QDir::toNativeSeparators(folder.path() + "/Xml/Operation/DIR.xml文件不存在！"));
    }

    void badFilesFailAndKeepWhatWasLoaded_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: the file is removed
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("malformed") << QByteArray("<a><b></a>");
    }
    void badFilesFailAndKeepWhatWasLoaded() {
        QFETCH(QByteArray, bytes);
        Sample s;
        QVERIFY(s.load());
        const XmlElement voucher = s.catalogue.find(QStringLiteral("凭证"));
        const XmlElement entry = s.operations.findEntryElement(QStringLiteral("凭证"));
        for (const QString& file : {kDirFile, kOperationsFile}) {
            if (bytes.isEmpty())
                QVERIFY(QFile::remove(s.folder.filePath(file)));
            else
                QVERIFY(s.folder.write(file, bytes));
        }
        QString error;
        QVERIFY(!s.catalogue.load(s.app, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!s.operations.load(s.app));
        // The documents loaded before are still there; their element views stay valid.
        QCOMPARE(voucher.attribute(QStringLiteral("name")), QStringLiteral("voucher"));
        QCOMPARE(s.catalogue.find(QStringLiteral("凭证")), voucher);
        QCOMPARE(s.operations.findEntryElement(QStringLiteral("凭证")), entry);
        // What never loaded has nothing to find.
        Catalogue fresh;
        QVERIFY(!fresh.load(s.app));
        QVERIFY(fresh.items().isEmpty());
        QCOMPARE(OperationsFile().entryFor(QStringLiteral("凭证")).operations.size(), 4);
    }

    void entryLookupEdgeCases() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write(kOperationsFile, gb2312(kOperationsWithEdgeCases));
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));
        // The same tag in two groups: the first in document order.
        QCOMPARE(operations.entryFor("重复项").operations.first().proc, QStringLiteral("first"));
        // Entries are children of groups: neither a group nor a deeper element is one.
        QVERIFY(!operations.findEntry("甲组").has_value());
        QVERIFY(!operations.findEntry("藏起来").has_value());
        QVERIFY(!operations.findEntry("ImOperation").has_value());

        const OperationEntry emptyOperations = operations.entryFor("空操作");
        QVERIFY(emptyOperations.hasOwnEntry && emptyOperations.operations.isEmpty());
        QCOMPARE(emptyOperations.options.size(), 1);
        const OperationEntry textOnly = operations.entryFor("无子元素");
        QVERIFY(textOnly.hasOwnEntry && textOnly.operations.isEmpty());
        QVERIFY(textOnly.options.isEmpty());

        const OperationEntry bare = operations.entryFor("缺属性");
        QCOMPARE(bare.operations[0].proc, QString());
        QCOMPARE(bare.options[0].name + "|" + bare.options[0].mode, QStringLiteral("|"));
        QCOMPARE(bare.options[1].name, QStringLiteral("b"));
        QCOMPARE(bare.options[2].mode, QStringLiteral("m"));

        // The containers are the first two child elements; every option counts (the import
        // sets them all); rule targets are trimmed.
        const OperationEntry many = operations.entryFor("多选项");
        QCOMPARE(many.options.size(), 7);
        QCOMPARE(many.options.last().caption, QStringLiteral("七"));
        QCOMPARE(rulesText(many.operations[0].rules), QStringList("required:选项六"));

        // An operation's proc comes from its first element anywhere in the file.
        QCOMPARE(operations.procOf("添加"), QStringLiteral("first"));
        QCOMPARE(operations.procOf("修改"), QStringLiteral("group-level"));
        QCOMPARE(operations.procOf("删除"), QString());
        QCOMPARE(operations.procOf("导入"), QString());
    }

    void accountSubsystems_data() {
        using Row = test::AccountDatabase::Row;
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QStringList>("moves");
        const QString used = QStringLiteral("2026-01-01");
        const QString payables = QStringLiteral("采购发票>应付管理");
        const QString receivables = QStringLiteral("销售发票>应收管理");
        QTest::newRow("payables alone") << QList<Row>{{"001", "AP", used}} << QStringList(payables);
        QTest::newRow("payables with purchasing")
            << QList<Row>{{"001", "AP", used}, {"001", "PU", used}} << QStringList();
        QTest::newRow("receivables with sales")
            << QList<Row>{{"001", "SA", used}, {"001", "AR", used}} << QStringList();
        QTest::newRow("both settling modules alone")
            << QList<Row>{{"001", "AR", used}, {"001", "AP", used}, {"001", "GL", used}}
            << QStringList({payables, receivables});
        QTest::newRow("purchasing not enabled")
            << QList<Row>{{"001", "AP", used}, {"001", "PU", std::nullopt}}
            << QStringList(payables);
        QTest::newRow("padded codes") << QList<Row>{{"001", "AP  ", used}} << QStringList(payables);
        QTest::newRow("other account uses purchasing")
            << QList<Row>{{"001", "AP", used}, {"002", "PU", used}} << QStringList(payables);
    }
    void accountSubsystems() {
        using Row = test::AccountDatabase::Row;
        QFETCH(QList<Row>, rows);
        TestFolder folder(TestFolder::Content::Empty);
        test::AccountDatabase erp(folder.filePath("erp.db"), rows);
        QVERIFY(erp.isReady());
        const std::optional<AccountSubsystems> used =
            AccountSubsystems::query(erp.database(), QStringLiteral("001"));
        QVERIFY(used.has_value());
        QStringList planned;
        for (const CatalogueMove& move : used->catalogueMoves())
            planned.append(move.key + QLatin1Char('>') + move.newParentKey);
        QTEST(planned, "moves");
    }

    void accountIdIsBoundNotPasted() {
        TestFolder folder(TestFolder::Content::Empty);
        test::AccountDatabase erp(folder.filePath("erp.db"), {{"002", "AP", "2026-01-01"}});
        QVERIFY(erp.isReady());
        for (const QString id : {"x' or '1'='1", "002'--", "'; drop table ua_account_sub; --"})
            QVERIFY(!AccountSubsystems::query(erp.database(), id).value().payables);
        QVERIFY(AccountSubsystems::query(erp.database(), "002").value().payables);

        // A database without the table, and one that is not open.
        QString error;
        test::AccountDatabase empty(folder.filePath("empty.db"), {});
        QSqlQuery(empty.database()).exec("drop table ua_account_sub");
        QVERIFY(!AccountSubsystems::query(empty.database(), "001", &error).has_value());
        QVERIFY(error.startsWith(QStringLiteral("无法读取账套启用的模块")));
        QVERIFY(!AccountSubsystems::query(QSqlDatabase(), "001").has_value());
    }
};

KVX_TEST_MAIN_CORE(CatalogueTest)
#include "tst_catalogue.moc"
