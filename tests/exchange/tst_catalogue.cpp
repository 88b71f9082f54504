#include "account_database.h"
#include "exchange/account_subsystems.h"
#include "exchange/catalogue.h"
#include "exchange/operations_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QStringList names(const QList<XmlElement>& elements) {
    QStringList result;
    for (const XmlElement& element : elements)
        result.append(element.name());
    return result;
}

QStringList rulesText(const QList<OperationRule>& rules) {
    QStringList result;
    for (const OperationRule& rule : rules)
        result.append(rule.kind + QLatin1Char(':') + rule.target);
    return result;
}

// The sample's operations file, extended by one group for the lookup cases.
const QString kOperationsWithEdgeCases = QStringLiteral(R"(<ImOperation>
  <甲组>
    <!-- a comment before the first entry -->
    <重复项><操作><添加 proc="first"/></操作></重复项>
    <空操作><操作/><选项><甲/></选项></空操作>
    <无子元素>text only</无子元素>
    <缺属性><操作><添加/><删除 proc=""/></操作><选项><甲/><乙 name="b"/><丙 mode="m"/></选项></缺属性>
    <多选项>
      <!-- the containers are the first two child elements, whatever comes between -->
      <操作><添加 proc="Add"><required>
        选项六  </required></添加></操作>
      text
      <选项><一/><二/><三/><四/><五/><六/><七/></选项>
      <第三个子元素><忽略/></第三个子元素>
    </多选项>
    <深层><嵌套><藏起来><操作><添加/></操作></藏起来></嵌套></深层>
  </甲组>
  <乙组>
    <重复项><操作><添加 proc="second"/></操作></重复项>
    <修改 proc="group-level"/>
  </乙组>
</ImOperation>)");

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sampleCatalogue() {
        TestFolder folder;
        Catalogue catalogue;
        QVERIFY(catalogue.load(AppFolder(folder.path())));
        QCOMPARE(catalogue.root().name(), QStringLiteral("KVX管理系统"));
        const QList<CatalogueItem> items = catalogue.items();
        QCOMPARE(items.size(), 22);
        QCOMPARE(items.first().label, QStringLiteral("部门档案"));
        QCOMPARE(items.last().label, QStringLiteral("其他出库单"));

        const CatalogueItem voucher = catalogue.item(QStringLiteral("凭证"));
        QCOMPARE(voucher.interfaceName, QStringLiteral("voucher"));
        QCOMPARE(voucher.family, QStringLiteral("总账"));
        QCOMPARE(voucher.element, catalogue.find(QStringLiteral("凭证")));
        // A group is found but is no exchange item; the root is neither.
        QVERIFY(Catalogue::isGroup(catalogue.find(QStringLiteral("总账"))));
        QVERIFY(catalogue.item(QStringLiteral("总账")).isNull());
        QCOMPARE(catalogue.find(QStringLiteral("KVX管理系统")), catalogue.root());
        QVERIFY(catalogue.item(QStringLiteral("KVX管理系统")).isNull());
        QVERIFY(catalogue.item(QStringLiteral("不存在的项目")).isNull());
    }

    void findsFirstMatchInDocumentOrder() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write(
            QStringLiteral("XML/Operation/DIR.XML"),
            gb2312(QStringLiteral(
                "<根><!-- 注释 --><?pi 忽略?>文字<甲><乙><丙 name=\"deep\"/></乙>"
                "<丁 name=\"d\">  </丁></甲><丙 name=\"shallow\"/><a.b-c_d name=\"x\"/></根>")));
        Catalogue catalogue;
        QVERIFY(catalogue.load(AppFolder(folder.path())));
        // Document order, not nearness to the root: what "//丙" selects.
        QCOMPARE(catalogue.item(QStringLiteral("丙")).interfaceName, QStringLiteral("deep"));
        QCOMPARE(catalogue.item(QStringLiteral("丙")).family, QStringLiteral("乙"));
        // An element with only text is an item; comments, instructions and text are no nodes.
        QVERIFY(Catalogue::isItem(catalogue.find(QStringLiteral("丁"))));
        QCOMPARE(
            names(catalogue.root().childElements()),
            QStringList({QStringLiteral("甲"), QStringLiteral("丙"), QStringLiteral("a.b-c_d")}));
        for (const QString& label :
             {QStringLiteral("根"), QStringLiteral("甲"), QStringLiteral("乙"),
              QStringLiteral("丙"), QStringLiteral("丁"), QStringLiteral("a.b-c_d")}) {
            const XmlElement expected = catalogue.root().selectFirst(
                QStringLiteral("//*[name()=$label]"), {{QStringLiteral("label"), label}});
            QVERIFY(!expected.isNull());
            QCOMPARE(catalogue.find(label), expected);
        }
    }

    void labelsAreNeverExpressions_data() {
        QTest::addColumn<QString>("label");
        QTest::newRow("star") << QStringLiteral("*");
        QTest::newRow("union") << QStringLiteral("部门档案 | //*");
        QTest::newRow("apostrophe") << QStringLiteral("x' or '1'='1");
        QTest::newRow("bracket") << QStringLiteral("凭证[1]");
        QTest::newRow("parent") << QStringLiteral("..");
        QTest::newRow("unbalanced") << QStringLiteral("凭证[");
        QTest::newRow("empty") << QString();
    }
    void labelsAreNeverExpressions() {
        QFETCH(QString, label);
        TestFolder folder;
        Catalogue catalogue;
        QVERIFY(catalogue.load(AppFolder(folder.path())));
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));
        QVERIFY(catalogue.find(label).isNull());
        QVERIFY(catalogue.item(label).isNull());
        QVERIFY(operations.findEntryElement(label).isNull());
        QVERIFY(operations.findOperationElement(label).isNull());
        QCOMPARE(operations.entryFor(label).operationNames(),
                 QStringList({QStringLiteral("默认"), QStringLiteral("添加"),
                              QStringLiteral("删除"), QStringLiteral("修改")}));
    }

    void missingFileMessagesShowTheNativeFullPath() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        QCOMPARE(
            Catalogue::missingFileMessage(app),
            QDir::toNativeSeparators(folder.path() + QStringLiteral("/xml/operation/dir.xml")) +
                QStringLiteral("文件不存在！"));
        QCOMPARE(OperationsFile::missingFileMessage(app),
                 QDir::toNativeSeparators(folder.path() +
                                          QStringLiteral("/xml/operation/ImOperation.xml")) +
                     QStringLiteral("文件不存在！"));
        // A file that is there but unreadable is named as it is spelled on disk.
        folder.write(QStringLiteral("Xml/Operation/DIR.xml"), "not xml");
        QCOMPARE(
            Catalogue::missingFileMessage(app),
            QDir::toNativeSeparators(folder.path() + QStringLiteral("/Xml/Operation/DIR.xml")) +
                QStringLiteral("文件不存在！"));
    }

    void badFilesFailAndKeepWhatWasLoaded_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << true << QByteArray();
        QTest::newRow("empty") << false << QByteArray();
        QTest::newRow("blank") << false << QByteArray(" \r\n ");
        QTest::newRow("malformed") << false << QByteArray("<a><b></a>");
        QTest::newRow("truncated") << false << gb2312(QStringLiteral("<根><甲 name=\"x\"/>"));
        QTest::newRow("not xml") << false << QByteArray("[catalogue]\r\n");
    }
    void badFilesFailAndKeepWhatWasLoaded() {
        QFETCH(bool, remove);
        QFETCH(QByteArray, bytes);
        TestFolder folder;
        const AppFolder app(folder.path());
        Catalogue catalogue;
        OperationsFile operations;
        QVERIFY(catalogue.load(app));
        QVERIFY(operations.load(app));
        const XmlElement voucher = catalogue.find(QStringLiteral("凭证"));
        const XmlElement entry = operations.findEntryElement(QStringLiteral("凭证"));

        for (const QString& file : {kDirFile, kOperationsFile}) {
            if (remove)
                QVERIFY(QFile::remove(folder.filePath(file)));
            else
                QVERIFY(folder.write(file, bytes));
        }
        QString error;
        QVERIFY(!catalogue.load(app, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!operations.load(app, &error));
        QVERIFY(!error.isEmpty());
        // The documents loaded before are still there; their element views stay valid.
        QCOMPARE(voucher.attribute(QStringLiteral("name")), QStringLiteral("voucher"));
        QCOMPARE(catalogue.find(QStringLiteral("凭证")), voucher);
        QCOMPARE(operations.findEntryElement(QStringLiteral("凭证")), entry);
        // A catalogue that never loaded has nothing to find.
        Catalogue fresh;
        QVERIFY(!fresh.load(app));
        QVERIFY(!fresh.isLoaded());
        QVERIFY(fresh.items().isEmpty());
        QVERIFY(OperationsFile().findEntryElement(QStringLiteral("凭证")).isNull());
    }

    void readsGbkReadOnlyFilesWithoutWriting() {
        TestFolder folder(TestFolder::Content::Empty);
        // 堃 and 喆 are in code page 936 but not in GB2312 proper.
        const QByteArray dir =
            gb2312(QStringLiteral("<系统><基础><堃源档案 name=\"kun\"/></基础></系统>"));
        const QByteArray ops =
            gb2312(QStringLiteral("<ImOperation><基础><堃源档案><操作><喆诚 "
                                  "proc=\"Zhe\"/></操作></堃源档案></基础></ImOperation>"));
        folder.write(kDirFile, dir);
        folder.write(kOperationsFile, ops);
        for (const QString& file : {kDirFile, kOperationsFile})
            QFile::setPermissions(folder.filePath(file), QFile::ReadOwner | QFile::ReadUser);
        const QDateTime modified = QFileInfo(folder.filePath(kDirFile)).lastModified();

        const AppFolder app(folder.path());
        Catalogue catalogue;
        QVERIFY(catalogue.load(app));
        QCOMPARE(catalogue.item(QStringLiteral("堃源档案")).interfaceName, QStringLiteral("kun"));
        OperationsFile operations;
        QVERIFY(operations.load(app));
        QCOMPARE(operations.entryFor(QStringLiteral("堃源档案")).operationNames(),
                 QStringList(QStringLiteral("喆诚")));
        QCOMPARE(operations.procOf(QStringLiteral("喆诚")), QStringLiteral("Zhe"));

        QCOMPARE(folder.read(kDirFile), dir);
        QCOMPARE(folder.read(kOperationsFile), ops);
        QCOMPARE(QFileInfo(folder.filePath(kDirFile)).lastModified(), modified);
        QVERIFY(!(QFile::permissions(folder.filePath(kDirFile)) & QFile::WriteOwner));
        QVERIFY(!(QFile::permissions(folder.filePath(kOperationsFile)) & QFile::WriteOwner));
    }

    void sampleEntries() {
        TestFolder folder;
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));

        const std::optional<OperationEntry> voucher = operations.findEntry(QStringLiteral("凭证"));
        QVERIFY(voucher.has_value());
        QVERIFY(voucher->hasOwnEntry);
        QCOMPARE(voucher->operationNames(),
                 QStringList({QStringLiteral("默认"), QStringLiteral("添加"),
                              QStringLiteral("修改"), QStringLiteral("删除")}));
        QCOMPARE(voucher->operations[2].proc, QStringLiteral("Edit"));
        QCOMPARE(rulesText(voucher->operations[2].rules),
                 QStringList({QStringLiteral("required:按编码匹配科目"),
                              QStringLiteral("exclusive:按名称匹配科目"),
                              QStringLiteral("exclusive:自动编号")}));
        QCOMPARE(voucher->options.size(), 5);
        const ImportOption& byCode = voucher->options[2];
        QCOMPARE(byCode.caption, QStringLiteral("按编码匹配科目"));
        QCOMPARE(byCode.name, QStringLiteral("code"));
        QCOMPARE(byCode.mode, QStringLiteral("accountmatch"));
        QCOMPARE(rulesText(byCode.rules),
                 QStringList({QStringLiteral("exclusive:按名称匹配科目"),
                              QStringLiteral("nochecked:按名称匹配科目")}));
        QCOMPARE(voucher->options[0].mode, QString());

        const OperationEntry inventory = operations.entryFor(QStringLiteral("存货档案"));
        QVERIFY(inventory.hasOwnEntry);
        QCOMPARE(inventory.operations.size(), 3);
        QVERIFY(inventory.options.isEmpty());

        QVERIFY(!operations.findEntry(QStringLiteral("部门档案")).has_value());
        const OperationEntry department = operations.entryFor(QStringLiteral("部门档案"));
        QVERIFY(!department.hasOwnEntry);
        QCOMPARE(department.label, QStringLiteral("部门档案"));
        QCOMPARE(department.operations.size(), 4);
        QVERIFY(department.options.isEmpty());
    }

    void entryLookupEdgeCases() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write(kOperationsFile, gb2312(kOperationsWithEdgeCases));
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));

        // The same tag in two groups: the first in document order.
        QCOMPARE(operations.entryFor(QStringLiteral("重复项")).operations.first().proc,
                 QStringLiteral("first"));
        // Entries are children of groups: neither a group nor a deeper element is one.
        QVERIFY(!operations.findEntry(QStringLiteral("甲组")).has_value());
        QVERIFY(!operations.findEntry(QStringLiteral("藏起来")).has_value());
        QVERIFY(!operations.findEntry(QStringLiteral("ImOperation")).has_value());

        const OperationEntry emptyOperations = operations.entryFor(QStringLiteral("空操作"));
        QVERIFY(emptyOperations.hasOwnEntry);
        QVERIFY(emptyOperations.operations.isEmpty());
        QCOMPARE(emptyOperations.options.size(), 1);

        const OperationEntry textOnly = operations.entryFor(QStringLiteral("无子元素"));
        QVERIFY(textOnly.hasOwnEntry);
        QVERIFY(textOnly.operations.isEmpty());
        QVERIFY(textOnly.options.isEmpty());

        const OperationEntry bare = operations.entryFor(QStringLiteral("缺属性"));
        QCOMPARE(bare.operations[0].proc, QString());
        QCOMPARE(bare.operations[1].proc, QString());
        QCOMPARE(bare.options[0].name, QString());
        QCOMPARE(bare.options[0].mode, QString());
        QCOMPARE(bare.options[1].name, QStringLiteral("b"));
        QCOMPARE(bare.options[2].mode, QStringLiteral("m"));

        const OperationEntry many = operations.entryFor(QStringLiteral("多选项"));
        QCOMPARE(many.options.size(), OperationEntry::kMaxOptions);
        QCOMPARE(many.options.last().caption, QStringLiteral("五"));
        QCOMPARE(rulesText(many.operations[0].rules),
                 QStringList(QStringLiteral("required:选项六")));
    }

    void operationElementIsSearchedOverTheWholeFile() {
        TestFolder folder;
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));
        // 修改 first appears under 客户档案.
        QCOMPARE(operations.procOf(QStringLiteral("修改")), QStringLiteral("Edit"));
        QCOMPARE(operations.procOf(QStringLiteral("默认")), QStringLiteral("add"));
        QCOMPARE(operations.findOperationElement(QStringLiteral("删除"))
                     .parentElement()
                     .parentElement()
                     .name(),
                 QStringLiteral("客户档案"));
        QCOMPARE(operations.procOf(QStringLiteral("导入")), QString());

        folder.write(kOperationsFile, gb2312(kOperationsWithEdgeCases));
        QVERIFY(operations.load(AppFolder(folder.path())));
        QCOMPARE(operations.procOf(QStringLiteral("添加")), QStringLiteral("first"));
        QCOMPARE(operations.procOf(QStringLiteral("修改")), QStringLiteral("group-level"));
        QCOMPARE(operations.procOf(QStringLiteral("删除")), QString());
    }

    void accountSubsystems_data() {
        using Row = test::AccountDatabase::Row;
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QStringList>("moves");
        const QString used = QStringLiteral("2026-01-01");
        const QString move1 = QStringLiteral("采购发票>应付管理");
        const QString move2 = QStringLiteral("销售发票>应收管理");
        QTest::newRow("nothing used") << QList<Row>() << QStringList();
        QTest::newRow("payables alone") << QList<Row>{{"001", "AP", used}} << QStringList(move1);
        QTest::newRow("payables with purchasing")
            << QList<Row>{{"001", "AP", used}, {"001", "PU", used}} << QStringList();
        QTest::newRow("receivables alone") << QList<Row>{{"001", "AR", used}} << QStringList(move2);
        QTest::newRow("receivables with sales")
            << QList<Row>{{"001", "SA", used}, {"001", "AR", used}} << QStringList();
        QTest::newRow("both settling modules alone")
            << QList<Row>{{"001", "AR", used}, {"001", "AP", used}, {"001", "GL", used}}
            << QStringList({move1, move2});
        QTest::newRow("purchasing not enabled")
            << QList<Row>{{"001", "AP", used}, {"001", "PU", std::nullopt}} << QStringList(move1);
        QTest::newRow("payables not enabled")
            << QList<Row>{{"001", "AP", std::nullopt}} << QStringList();
        QTest::newRow("padded codes") << QList<Row>{{"001", "AP  ", used}} << QStringList(move1);
        QTest::newRow("other account")
            << QList<Row>{{"002", "AP", used}, {"001", "PU", used}} << QStringList();
        QTest::newRow("other account uses purchasing")
            << QList<Row>{{"001", "AP", used}, {"002", "PU", used}} << QStringList(move1);
    }
    void accountSubsystems() {
        using Row = test::AccountDatabase::Row;
        QFETCH(QList<Row>, rows);
        QFETCH(QStringList, moves);
        TestFolder folder(TestFolder::Content::Empty);
        test::AccountDatabase erp(folder.filePath(QStringLiteral("erp.db")), rows);
        QVERIFY(erp.isReady());
        const std::optional<AccountSubsystems> used =
            AccountSubsystems::query(erp.database(), QStringLiteral("001"));
        QVERIFY(used.has_value());
        QStringList planned;
        for (const CatalogueMove& move : used->catalogueMoves())
            planned.append(move.key + QLatin1Char('>') + move.newParentKey);
        QCOMPARE(planned, moves);
    }

    void accountIdIsBoundNotPasted() {
        TestFolder folder(TestFolder::Content::Empty);
        test::AccountDatabase erp(folder.filePath(QStringLiteral("erp.db")),
                                  {{"002", "AP", QStringLiteral("2026-01-01")}});
        QVERIFY(erp.isReady());
        for (const QString& id : {QStringLiteral("x' or '1'='1"), QStringLiteral("002'--"),
                                  QStringLiteral("'; drop table ua_account_sub; --")}) {
            const std::optional<AccountSubsystems> used =
                AccountSubsystems::query(erp.database(), id);
            QVERIFY(used.has_value());
            QVERIFY(!used->payables);
        }
        QVERIFY(AccountSubsystems::query(erp.database(), QStringLiteral("002"))->payables);
    }

    void unreadableAccountDatabaseFails() {
        TestFolder folder(TestFolder::Content::Empty);
        QString error;
        // An ERP database without the table.
        {
            const QString connection = QStringLiteral("no-table");
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
                db.setDatabaseName(folder.filePath(QStringLiteral("empty.db")));
                QVERIFY(db.open());
                QVERIFY(!AccountSubsystems::query(db, QStringLiteral("001"), &error).has_value());
                QVERIFY(error.startsWith(QStringLiteral("无法读取账套启用的模块")));
                db.close();
            }
            QSqlDatabase::removeDatabase(connection);
        }
        // A connection that is not open.
        error.clear();
        QVERIFY(
            !AccountSubsystems::query(QSqlDatabase(), QStringLiteral("001"), &error).has_value());
        QVERIFY(!error.isEmpty());
    }
};

KVX_TEST_MAIN_CORE(CatalogueTest)
#include "tst_catalogue.moc"
