#include "account_database.h"
#include "exchange/account_subsystems.h"
#include "exchange/catalogue.h"
#include "exchange/catalogue_tree.h"
#include "exchange/operation_panel.h"
#include "exchange/operations_file.h"
#include "recording_prompter.h"
#include "test_folder.h"
#include "test_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
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
        if (!box->isVisibleTo(&panel))
            continue;
        shown.append((box->isChecked() ? QStringLiteral("+") : QStringLiteral("-")) + box->text() +
                     (box->isEnabled() ? QString() : QStringLiteral("!")));
    }
    return shown.join(QLatin1Char(' '));
}

QString shownBoxes(const OperationRules& rules) {
    QStringList shown;
    for (int number = 1; number <= 5; ++number) {
        const OptionBox& box = rules.box(number);
        if (!box.visible)
            continue;
        shown.append((box.checked ? QStringLiteral("+") : QStringLiteral("-")) + box.caption +
                     (box.enabled ? QString() : QStringLiteral("!")));
    }
    return shown.join(QLatin1Char(' '));
}

struct Sample {
    TestFolder folder;
    AppFolder app{folder.path()};
    RecordingPrompter prompter;
    Catalogue catalogue;
};

} // namespace

class CatalogueWidgetsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void treeShowsTheCatalogue() {
        Sample sample;
        CatalogueTree tree;
        tree.setObjectName(QStringLiteral("Dir"));
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QVERIFY(sample.prompter.records().isEmpty());

        QCOMPARE(tree.topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree.topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("KVX管理系统"));
        QVERIFY(root->isExpanded());
        QCOMPARE(texts(root), QStringList({"基础档案", "总账", "采购管理", "应付管理", "销售管理",
                                           "应收管理", "库存管理"}));
        int leaves = 0;
        for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
            QCOMPARE(CatalogueTree::keyOf(*it), (*it)->text(0));
            QCOMPARE(CatalogueTree::elementOf(*it).name(), (*it)->text(0));
            QCOMPARE(CatalogueTree::elementOf(*it), sample.catalogue.find((*it)->text(0)));
            if (*it != root)
                QVERIFY(!(*it)->isExpanded());
            leaves += CatalogueTree::isLeaf(*it) ? 1 : 0;
        }
        QCOMPARE(leaves, 22);
        QVERIFY(!CatalogueTree::isLeaf(root));
        QVERIFY(!CatalogueTree::isLeaf(tree.findNode(QStringLiteral("总账"))));
        QCOMPARE(texts(tree.findNode(QStringLiteral("总账"))),
                 QStringList({"会计科目", "凭证", "内部往来"}));
    }

    void treeSelectionHelpers() {
        Sample sample;
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QCOMPARE(tree.selectedLabel(), QString());
        QVERIFY(!tree.selectNextSibling());

        tree.setCurrentItem(tree.findNode(QStringLiteral("职员档案")));
        QCOMPARE(tree.selectedLabel(), QStringLiteral("职员档案"));
        QVERIFY(tree.isSelectedLeaf());
        QCOMPARE(tree.selectedElement().attribute(QStringLiteral("name")),
                 QStringLiteral("person"));
        QVERIFY(tree.selectNextSibling());
        QCOMPARE(tree.selectedLabel(), QStringLiteral("客户档案"));

        tree.setCurrentItem(tree.findNode(QStringLiteral("仓库档案")));
        QVERIFY(!tree.selectNextSibling());
        QCOMPARE(tree.selectedLabel(), QStringLiteral("仓库档案"));

        tree.setCurrentItem(tree.findNode(QStringLiteral("基础档案")));
        QVERIFY(!tree.isSelectedLeaf());
        QVERIFY(tree.selectNextSibling());
        QCOMPARE(tree.selectedLabel(), QStringLiteral("总账"));
        QVERIFY(!tree.findNode(QStringLiteral("不存在")));
        QVERIFY(!tree.findNode(QString()));
    }

    void emptyCatalogueHasNoLeaf() {
        Sample sample;
        QVERIFY(sample.folder.write(QStringLiteral("xml/operation/Dir.xml"), "<KVX管理系统/>"));
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QCOMPARE(tree.topLevelItemCount(), 1);
        tree.setCurrentItem(tree.topLevelItem(0));
        QVERIFY(!tree.isSelectedLeaf());
    }

    void treeLoadFailureKeepsTheTree_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("remove");
        QTest::newRow("missing") << QByteArray() << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("malformed") << QByteArray("<KVX><a></KVX>") << false;
    }
    void treeLoadFailureKeepsTheTree() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, remove);
        Sample sample;
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        tree.setCurrentItem(tree.findNode(QStringLiteral("凭证")));
        const QString file = sample.folder.filePath(QStringLiteral("xml/operation/Dir.xml"));
        if (remove)
            QVERIFY(QFile::remove(file));
        else
            QVERIFY(sample.folder.write(QStringLiteral("xml/operation/Dir.xml"), bytes));

        QVERIFY(!tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QCOMPARE(sample.prompter.records().size(), 1);
        const RecordingPrompter::Record message = sample.prompter.last();
        QCOMPARE(message.kind, RecordingPrompter::Kind::Message);
        QCOMPARE(message.text, Catalogue::missingFileMessage(sample.app));
        QVERIFY(message.text.startsWith(sample.app.nativeRoot()));
        QVERIFY(message.text.endsWith(QStringLiteral("文件不存在！")));
        QCOMPARE(message.title, QStringLiteral("提示"));
        QCOMPARE(message.icon, Prompter::Icon::Warning);
        // Tree, selection and the elements the nodes carry are all still there.
        QCOMPARE(tree.selectedLabel(), QStringLiteral("凭证"));
        QCOMPARE(tree.selectedElement().attribute(QStringLiteral("name")),
                 QStringLiteral("voucher"));
        QCOMPARE(texts(tree.topLevelItem(0)).size(), 7);

        // A tree that never loaded stays empty.
        CatalogueTree fresh;
        Catalogue none;
        QVERIFY(!fresh.initTree(none, sample.app, sample.prompter, QStringLiteral("计划")));
        QCOMPARE(fresh.topLevelItemCount(), 0);
        QCOMPARE(sample.prompter.last().title, QStringLiteral("计划"));
    }

    void reloadReplacesNodesAndDocument() {
        Sample sample;
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        sample.folder.write(
            QStringLiteral("xml/operation/dir.XML"),
            "<?xml version=\"1.0\" encoding=\"gb2312\"?><R><G><I name=\"i\"/></G></R>");
        QFile::remove(sample.folder.filePath(QStringLiteral("xml/operation/Dir.xml")));
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("R"));
        QCOMPARE(CatalogueTree::elementOf(tree.findNode(QStringLiteral("I"))),
                 sample.catalogue.find(QStringLiteral("I")));
        QVERIFY(!tree.findNode(QStringLiteral("凭证")));
    }

    void accountAdjustmentMovesInvoices_data() {
        using Row = test::AccountDatabase::Row;
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QString>("purchaseInvoiceParent");
        QTest::addColumn<QString>("saleInvoiceParent");
        const QString used = QStringLiteral("2025-12-01");
        QTest::newRow("all modules") << QList<Row>{{"888", "PU", used},
                                                   {"888", "SA", used},
                                                   {"888", "AP", used},
                                                   {"888", "AR", used}}
                                     << "采购管理"
                                     << "销售管理";
        QTest::newRow("settling modules only")
            << QList<Row>{{"888", "AP", used}, {"888", "AR", used}} << "应付管理"
            << "应收管理";
        QTest::newRow("sales without receivables")
            << QList<Row>{{"888", "AP", used}, {"888", "SA", used}} << "应付管理"
            << "销售管理";
    }
    void accountAdjustmentMovesInvoices() {
        using Row = test::AccountDatabase::Row;
        QFETCH(QList<Row>, rows);
        QFETCH(QString, purchaseInvoiceParent);
        QFETCH(QString, saleInvoiceParent);
        Sample sample;
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        test::AccountDatabase erp(sample.folder.filePath(QStringLiteral("ufsystem.db")), rows);
        QVERIFY(erp.isReady());
        QVERIFY(adjustCatalogueForAccount(tree, erp.database(), QStringLiteral("888")));

        for (const auto& [label, parent] :
             {std::pair{QStringLiteral("采购发票"), purchaseInvoiceParent},
              std::pair{QStringLiteral("销售发票"), saleInvoiceParent}}) {
            QTreeWidgetItem* node = tree.findNode(label);
            QCOMPARE(node->parent()->text(0), parent);
            QCOMPARE(CatalogueTree::keyOf(node), label);
            QVERIFY(CatalogueTree::isLeaf(node));
            // The node carries the same element: its family is still its group in the file.
            QCOMPARE(CatalogueTree::elementOf(node), sample.catalogue.find(label));
            QCOMPARE(Catalogue::describe(CatalogueTree::elementOf(node)).family,
                     label == QStringLiteral("采购发票") ? QStringLiteral("采购管理")
                                                         : QStringLiteral("销售管理"));
            if (parent.endsWith(QStringLiteral("应付管理")) ||
                parent.endsWith(QStringLiteral("应收管理")))
                QCOMPARE(node->parent()->indexOfChild(node), node->parent()->childCount() - 1);
        }
    }

    void moveNodeRefusesImpossibleMoves() {
        Sample sample;
        CatalogueTree tree;
        QVERIFY(tree.initTree(sample.catalogue, sample.app, sample.prompter));
        QVERIFY(!tree.moveNode(QStringLiteral("采购发票"), QStringLiteral("无此节点")));
        QVERIFY(!tree.moveNode(QStringLiteral("无此节点"), QStringLiteral("应付管理")));
        QVERIFY(!tree.moveNode(QStringLiteral("采购管理"), QStringLiteral("采购发票")));
        QVERIFY(!tree.moveNode(QStringLiteral("KVX管理系统"), QStringLiteral("总账")));
        QCOMPARE(texts(tree.findNode(QStringLiteral("采购管理"))),
                 QStringList({"采购订单", "采购发票"}));
        // The selected node stays selected when it moves.
        tree.setCurrentItem(tree.findNode(QStringLiteral("采购发票")));
        QVERIFY(tree.moveNode(QStringLiteral("采购发票"), QStringLiteral("应付管理")));
        QCOMPARE(tree.selectedLabel(), QStringLiteral("采购发票"));
        QCOMPARE(texts(tree.findNode(QStringLiteral("应付管理"))),
                 QStringList({"应付单", "付款单", "采购发票"}));
    }

    void panelNamesAndDefaults() {
        OperationPanel panel;
        QCOMPARE(panel.objectName(), QStringLiteral("frmOpt"));
        QCOMPARE(panel.title(), QStringLiteral("选项"));
        QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("Label4"))->text(),
                 QStringLiteral("操作类型"));
        auto* combo = panel.findChild<QComboBox*>(QStringLiteral("cmbOperate"));
        QVERIFY(combo);
        QCOMPARE(comboItems(combo), QStringList({"默认", "添加", "删除", "修改"}));
        QCOMPARE(combo->currentIndex(), -1);
        for (int number = 1; number <= 5; ++number)
            QVERIFY(panel.findChild<QCheckBox*>(QStringLiteral("Check%1").arg(number))->isHidden());
        // Without an operations file every item gets the default operations.
        QVERIFY(!panel.showEntry(QStringLiteral("凭证")));
        QCOMPARE(comboItems(combo).size(), 4);
        QCOMPARE(panel.layoutGrowth(), 0);
        QCOMPARE(OperationPanel::twipsToPixels(400, 96), 27);
        QCOMPARE(OperationPanel::twipsToPixels(2000, 96), 133);
        QCOMPARE(OperationPanel::twipsToPixels(400, 192), 53);
    }

    void panelGrowsWithTheOptions() {
        TestFolder folder;
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));
        OperationPanel panel;
        panel.setOperationsFile(&operations);
        QSignalSpy growth(&panel, &OperationPanel::layoutGrowthChanged);
        const int row = OperationPanel::twipsToPixels(400, panel.logicalDpiY());
        const int baseHeight = panel.sizeHint().height();

        QVERIFY(panel.showEntry(QStringLiteral("凭证")));
        QCOMPARE(panel.layoutGrowth(), 5 * row);
        QCOMPARE(growth.size(), 1);
        QCOMPARE(growth.last().first().toInt(), 5 * row);
        QCOMPARE(panel.sizeHint().height(), baseHeight + 5 * row);
        QCOMPARE(shownBoxes(panel), QStringLiteral("-自动编号 -允许借贷不平 -按编码匹配科目 "
                                                   "-按名称匹配科目 -导入后审核"));

        QVERIFY(panel.showEntry(QStringLiteral("采购发票")));
        QCOMPARE(growth.last().first().toInt(), 3 * row);
        QCOMPARE(panel.sizeHint().height(), baseHeight + 3 * row);
        QVERIFY(panel.findChild<QCheckBox*>(QStringLiteral("Check4"))->isHidden());

        // The same growth again: no signal.
        QVERIFY(panel.showEntry(QStringLiteral("采购发票")));
        QCOMPARE(growth.size(), 2);

        // An entry without options and an item without entry: no option rows.
        QVERIFY(panel.showEntry(QStringLiteral("存货档案")));
        QCOMPARE(growth.last().first().toInt(), 0);
        QCOMPARE(comboItems(panel.operationCombo()), QStringList({"默认", "添加", "修改"}));
        QVERIFY(!panel.showEntry(QStringLiteral("部门档案")));
        QCOMPARE(growth.size(), 3);

        panel.showEntry(QStringLiteral("客户档案"));
        panel.resetToDefaults();
        QCOMPARE(panel.layoutGrowth(), 0);
        QCOMPARE(growth.last().first().toInt(), 0);
        QCOMPARE(panel.sizeHint().height(), baseHeight);
        QCOMPARE(shownBoxes(panel), QString());
        QCOMPARE(comboItems(panel.operationCombo()), QStringList({"默认", "添加", "删除", "修改"}));
    }

    // Operator actions on the widgets give what the engine gives for the same actions.
    void panelFollowsTheRules_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("boxes");
        QTest::newRow("凭证 by name")
            << "凭证" << QStringList{"restore ", "click 3"} << "添加|自动编号|按名称匹配科目"
            << "+自动编号 -允许借贷不平 -按编码匹配科目 +按名称匹配科目 -导入后审核";
        QTest::newRow("凭证 删除")
            << "凭证" << QStringList{"restore ", "choose 3", "click 1", "click 3"}
            << "删除|按编码匹配科目"
            << "-自动编号! -允许借贷不平! +按编码匹配科目 -按名称匹配科目! -导入后审核!";
        QTest::newRow("客户档案 修改")
            << "客户档案" << QStringList{"restore 添加|已存在时更新", "choose 2"} << "修改"
            << "-已存在时更新! -已存在时跳过!";
        QTest::newRow("采购发票 ordinary then 删除")
            << "采购发票" << QStringList{"restore ", "click 2", "choose 2"} << "删除|专用发票"
            << "+专用发票 -普通发票 -自动生成发票号!";
        QTest::newRow("部门档案") << "部门档案" << QStringList{"restore ", "choose 3"} << "修改"
                                  << "";
    }
    void panelFollowsTheRules() {
        QFETCH(QString, label);
        QFETCH(QStringList, script);
        QFETCH(QString, expected);
        QFETCH(QString, boxes);
        TestFolder folder;
        OperationsFile operations;
        QVERIFY(operations.load(AppFolder(folder.path())));

        QWidget window;
        auto* panel = new OperationPanel(&window);
        panel->setOperationsFile(&operations);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy stored(panel, &OperationPanel::operationStringChanged);
        auto* combo = window.findChild<QComboBox*>(QStringLiteral("cmbOperate"));

        OperationRules rules;
        rules.showEntry(operations.entryFor(label));
        panel->showEntry(label);
        for (const QString& step : script) {
            const QString argument = step.section(QLatin1Char(' '), 1);
            if (step.startsWith(QLatin1String("restore"))) {
                panel->restoreOperationString(argument);
                rules.restore(argument);
            } else if (step.startsWith(QLatin1String("choose"))) {
                combo->setCurrentIndex(argument.toInt());
                rules.chooseOperation(argument.toInt());
            } else {
                auto* box = window.findChild<QCheckBox*>(QStringLiteral("Check") + argument);
                // A disabled box ignores the click, and so does the engine.
                QTest::mouseClick(box, Qt::LeftButton);
                if (rules.box(argument.toInt()).enabled)
                    rules.setBoxChecked(argument.toInt(), !rules.box(argument.toInt()).checked);
            }
            QCOMPARE(panel->operationString(), rules.operationString());
            QCOMPARE(shownBoxes(*panel), shownBoxes(rules));
            QCOMPARE(combo->currentIndex(), rules.currentIndex());
        }
        QCOMPARE(panel->operationString(), expected);
        QCOMPARE(stored.last().first().toString(), expected);
        QCOMPARE(combo->currentText(), expected.section(QLatin1Char('|'), 0, 0));
        QCOMPARE(shownBoxes(*panel), boxes);
    }

    void panelControlsCanBeRenamed() {
        // The schedule editor names the same controls otherwise.
        OperationPanel panel;
        panel.setObjectName(QStringLiteral("frameOperate"));
        panel.operationLabel()->setObjectName(QStringLiteral("lblOperate"));
        panel.operationLabel()->setText(QStringLiteral("操作："));
        QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("lblOperate"))->text(),
                 QStringLiteral("操作："));
        QCOMPARE(panel.operationCombo(), panel.findChild<QComboBox*>(QStringLiteral("cmbOperate")));
        QCOMPARE(panel.optionBox(5), panel.findChild<QCheckBox*>(QStringLiteral("Check5")));
        QVERIFY(!panel.optionBox(6));
    }
};

KVX_TEST_MAIN(CatalogueWidgetsTest)
#include "tst_catalogue_widgets.moc"
