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
#include <QFile>
#include <QSignalSpy>

using namespace kvx;
using test::RecordingPrompter;
using test::TestFolder;

namespace {

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

// A sample application folder with its catalogue shown in a tree.
struct Sample {
    TestFolder folder;
    AppFolder app{folder.path()};
    RecordingPrompter prompter;
    Catalogue catalogue;
    CatalogueTree tree;
    bool load() { return tree.initTree(catalogue, app, prompter); }
    QTreeWidgetItem* node(const char* key) const { return tree.findNode(QString::fromUtf8(key)); }
};

} // namespace

class CatalogueWidgetsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void treeShowsTheCatalogue() {
        Sample s;
        QVERIFY(s.load());
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
        QVERIFY(s.load());
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
        QVERIFY(s.load());
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
        QVERIFY(s.load());
        s.tree.setCurrentItem(s.node("凭证"));
        QVERIFY(QFile::remove(s.folder.filePath("xml/operation/Dir.xml")));
        QVERIFY(!s.load());
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
        QVERIFY(s.load());
        QFile::remove(s.folder.filePath("xml/operation/Dir.xml"));
        s.folder.write("xml/operation/dir.XML", "<R><G><I name=\"i\"/></G></R>");
        QVERIFY(s.load());
        QCOMPARE(s.tree.topLevelItem(0)->text(0), QStringLiteral("R"));
        QCOMPARE(CatalogueTree::elementOf(s.node("I")), s.catalogue.find("I"));
        QVERIFY(!s.node("凭证"));
        // An empty catalogue: its root is no item.
        s.folder.write("xml/operation/dir.XML", "<KVX管理系统/>");
        QVERIFY(s.load());
        s.tree.setCurrentItem(s.tree.topLevelItem(0));
        QVERIFY(!s.tree.isSelectedLeaf());
    }

    // The invoices of modules the account does not use move to the settling modules.
    void accountAdjustmentMovesNodes() {
        Sample s;
        QVERIFY(s.load());
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

KVX_TEST_MAIN(CatalogueWidgetsTest)
#include "tst_catalogue_widgets.moc"
