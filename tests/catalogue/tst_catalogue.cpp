#include "account_database.h"
#include "catalogue/account_subsystems.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_tree.h"
#include "catalogue/operation_panel.h"
#include "catalogue/operations_file.h"
#include "operator_input.h"
#include "recording_prompter.h"
#include "test_folder.h"
#include "test_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStringEncoder>

using namespace kvx;
using test::RecordingPrompter;
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

// A sample application folder with its catalogue and operations file, and a tree that shows
// the catalogue.
struct Sample {
    TestFolder folder;
    AppFolder app{folder.path()};
    Catalogue catalogue;
    OperationsFile operations;
    RecordingPrompter prompter;
    CatalogueTree tree;
    bool load() { return catalogue.load(app) && operations.load(app); }
    bool loadTree() { return tree.initTree(catalogue, app, prompter); }
    QTreeWidgetItem* node(const char* key) const { return tree.findNode(QString::fromUtf8(key)); }
};

QStringList texts(const QTreeWidgetItem* node) {
    QStringList result;
    for (int i = 0; i < node->childCount(); ++i)
        result.append(node->child(i)->text(0));
    return result;
}

QStringList comboItems(const QComboBox* combo) {
    QStringList result;
    for (int i = 0; i < combo->count(); ++i)
        result.append(combo->itemText(i));
    return result;
}

// What the check boxes show: "+caption" checked, "-caption" unchecked, "!" disabled; hidden
// boxes are left out.
QString shownBoxes(const QWidget& panel) {
    QStringList shown;
    for (int number = 1; number <= 5; ++number) {
        const auto* box = panel.findChild<QCheckBox*>(QStringLiteral("Check%1").arg(number));
        if (box->isVisibleTo(&panel))
            shown.append((box->isChecked() ? "+" : "-") + box->text() +
                         (box->isEnabled() ? "" : "!"));
    }
    return shown.join(QLatin1Char(' '));
}

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

    void treeShowsTheCatalogue() {
        Sample s;
        QVERIFY(s.loadTree());
        QVERIFY(s.prompter.records().isEmpty());
        QCOMPARE(s.tree.topLevelItemCount(), 1);
        QTreeWidgetItem* root = s.tree.topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("KVX管理系统"));
        QVERIFY(root->isExpanded());
        QCOMPARE(texts(root), QStringList({"基础档案", "总账", "采购管理", "应付管理", "销售管理",
                                           "应收管理", "库存管理"}));
        int leaves = 0;
        for (QTreeWidgetItemIterator it(&s.tree); *it; ++it) {
            QCOMPARE(CatalogueTree::keyOf(*it), (*it)->text(0));
            QCOMPARE(CatalogueTree::elementOf(*it), s.catalogue.find((*it)->text(0)));
            QCOMPARE((*it)->isExpanded(), *it == root);
            leaves += CatalogueTree::isLeaf(*it) ? 1 : 0;
        }
        QCOMPARE(leaves, 22);
        QVERIFY(!CatalogueTree::isLeaf(s.node("总账")));
    }

    void treeSelectionHelpers() {
        Sample s;
        QVERIFY(s.loadTree());
        QCOMPARE(s.tree.selectedLabel(), QString());
        QVERIFY(!s.tree.selectNextSibling());
        s.tree.setCurrentItem(s.node("职员档案"));
        QVERIFY(s.tree.isSelectedLeaf());
        QCOMPARE(s.tree.selectedElement().attribute("name"), QStringLiteral("person"));
        QVERIFY(s.tree.selectNextSibling());
        QCOMPARE(s.tree.selectedLabel(), QStringLiteral("客户档案"));
        // The last of its group has no next sibling; groups have.
        s.tree.setCurrentItem(s.node("仓库档案"));
        QVERIFY(!s.tree.selectNextSibling());
        QCOMPARE(s.tree.selectedLabel(), QStringLiteral("仓库档案"));
        s.tree.setCurrentItem(s.node("基础档案"));
        QVERIFY(!s.tree.isSelectedLeaf());
        QVERIFY(s.tree.selectNextSibling());
        QCOMPARE(s.tree.selectedLabel(), QStringLiteral("总账"));
        QVERIFY(!s.node(""));
    }

    // A click on the node that already is current is told apart: one that makes a node current
    // (or opens a group by its arrow) is not, so a window that chooses on both chooses once.
    void clickOnTheCurrentNode() {
        Sample s;
        QVERIFY(s.loadTree());
        s.tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.tree));
        QSignalSpy changed(&s.tree, &QTreeWidget::currentItemChanged);
        QSignalSpy again(&s.tree, &CatalogueTree::currentNodeClicked);
        QVERIFY(test::clickNode(&s.tree, s.node("客户档案")));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(again.size(), 0);
        QVERIFY(test::clickNode(&s.tree, s.node("客户档案")));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(again.size(), 1);
        QCOMPARE(again.last().first().value<QTreeWidgetItem*>(), s.node("客户档案"));
    }

    void failedLoadKeepsTheTree() {
        Sample s;
        QVERIFY(s.loadTree());
        s.tree.setCurrentItem(s.node("凭证"));
        QVERIFY(QFile::remove(s.folder.filePath("xml/operation/Dir.xml")));
        QVERIFY(!s.loadTree());
        QCOMPARE(s.prompter.records().size(), 1);
        QCOMPARE(s.prompter.last().text, Catalogue::missingFileMessage(s.app));
        QCOMPARE(s.prompter.last().title, QStringLiteral("提示"));
        QCOMPARE(s.prompter.last().icon, Prompter::Icon::Warning);
        // Tree, selection and the elements the nodes carry are all still there.
        QCOMPARE(s.tree.selectedElement().attribute("name"), QStringLiteral("voucher"));
        QCOMPARE(texts(s.tree.topLevelItem(0)).size(), 7);

        // A tree that never loaded stays empty.
        CatalogueTree fresh;
        Catalogue none;
        QVERIFY(!fresh.initTree(none, s.app, s.prompter, QStringLiteral("计划")));
        QCOMPARE(fresh.topLevelItemCount(), 0);
        QCOMPARE(s.prompter.last().title, QStringLiteral("计划"));
    }

    void reloadReplacesNodesAndDocument() {
        Sample s;
        QVERIFY(s.loadTree());
        QFile::remove(s.folder.filePath("xml/operation/Dir.xml"));
        s.folder.write("xml/operation/dir.XML", "<R><G><I name=\"i\"/></G></R>");
        QVERIFY(s.loadTree());
        QCOMPARE(s.tree.topLevelItem(0)->text(0), QStringLiteral("R"));
        QCOMPARE(CatalogueTree::elementOf(s.node("I")), s.catalogue.find("I"));
        QVERIFY(!s.node("凭证"));
        // An empty catalogue: its root is no item.
        s.folder.write("xml/operation/dir.XML", "<KVX管理系统/>");
        QVERIFY(s.loadTree());
        s.tree.setCurrentItem(s.tree.topLevelItem(0));
        QVERIFY(!s.tree.isSelectedLeaf());
    }

    // The invoices of modules the account does not use move to the settling modules.
    void accountAdjustmentMovesNodes() {
        Sample s;
        QVERIFY(s.loadTree());
        test::AccountDatabase erp(s.folder.filePath("ufsystem.db"),
                                  {{"888", "AP", "2025-12-01"}, {"888", "AR", "2025-12-01"}});
        QVERIFY(erp.isReady());
        s.tree.setCurrentItem(s.node("采购发票"));
        QVERIFY(adjustCatalogueForAccount(s.tree, erp.database(), "888"));
        QCOMPARE(texts(s.node("应付管理")), QStringList({"应付单", "付款单", "采购发票"}));
        QCOMPARE(texts(s.node("应收管理")).last(), QStringLiteral("销售发票"));
        QCOMPARE(texts(s.node("采购管理")), QStringList{"采购订单"});
        QCOMPARE(s.tree.selectedLabel(), QStringLiteral("采购发票"));
        // The node carries the same element: its family is still its group in the file.
        QTreeWidgetItem* moved = s.node("采购发票");
        QVERIFY(CatalogueTree::isLeaf(moved));
        QCOMPARE(Catalogue::describe(CatalogueTree::elementOf(moved)).family,
                 QStringLiteral("采购管理"));

        // Moves to a missing node or below the node itself change nothing.
        QVERIFY(!s.tree.moveNode("采购发票", "无此节点"));
        QVERIFY(!s.tree.moveNode("无此节点", "应付管理"));
        QVERIFY(!s.tree.moveNode("应付管理", "采购发票"));
        QVERIFY(!s.tree.moveNode("KVX管理系统", "总账"));
        QCOMPARE(texts(s.node("应付管理")).size(), 3);
    }

    void operationPanelMirrorsTheRules() {
        TestFolder folder;
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));
        QWidget window;
        auto* panel = new OperationPanel(&window);
        QComboBox* combo = panel->operationCombo();
        // Without an operations file every item gets the default operations.
        QVERIFY(!panel->showEntry(QStringLiteral("凭证")));
        QCOMPARE(comboItems(combo), QStringList({"默认", "添加", "删除", "修改"}));
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(shownBoxes(*panel), QString());

        panel->setOperationsFile(&operations);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy growth(panel, &OperationPanel::layoutGrowthChanged);
        QSignalSpy stored(panel, &OperationPanel::operationStringChanged);
        const int row = OperationPanel::twipsToPixels(400, panel->logicalDpiY());
        const int baseHeight = panel->sizeHint().height();
        QVERIFY(panel->showEntry(QStringLiteral("采购发票")));
        QCOMPARE(growth.last().first().toInt(), 3 * row);
        QCOMPARE(panel->sizeHint().height(), baseHeight + 3 * row);
        QCOMPARE(comboItems(combo), QStringList({"默认", "添加", "删除"}));
        QVERIFY(panel->showEntry(QStringLiteral("凭证")));
        QCOMPARE(growth.last().first().toInt(), 5 * row);
        QVERIFY(panel->showEntry(QStringLiteral("凭证")));
        QCOMPARE(growth.size(), 2); // the same growth again: no signal

        // Choosing the operation already shown applies it afresh: boxes cleared, defaults set.
        panel->restoreOperationString(QString());
        QTest::mouseClick(panel->optionBox(1), Qt::LeftButton);
        QCOMPARE(panel->operationString(), QStringLiteral("添加|按编码匹配科目"));
        QVERIFY(test::chooseEntry(combo, combo->currentText()));
        QCOMPARE(panel->operationString(), QStringLiteral("添加|自动编号|按编码匹配科目"));
        // The operator's clicks go through the rules; a disabled box ignores its click.
        QVERIFY(test::chooseEntry(combo, QStringLiteral("删除")));
        QTest::mouseClick(panel->optionBox(1), Qt::LeftButton);
        QTest::mouseClick(panel->optionBox(3), Qt::LeftButton);
        QCOMPARE(panel->operationString(), QStringLiteral("删除|按编码匹配科目"));
        QCOMPARE(stored.last().first().toString(), panel->operationString());
        QCOMPARE(shownBoxes(*panel),
                 "-自动编号! -允许借贷不平! +按编码匹配科目 -按名称匹配科目! -导入后审核!");

        panel->resetToDefaults();
        QCOMPARE(growth.last().first().toInt(), 0);
        QCOMPARE(panel->sizeHint().height(), baseHeight);
        QCOMPARE(shownBoxes(*panel), QString());
        QCOMPARE(comboItems(combo).size(), 4);
    }
};

KVX_TEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
