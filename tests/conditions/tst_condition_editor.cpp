#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/work_windows.h"
#include "catalogue/catalogue_tree.h"
#include "conditions/frm_condition.h"
#include "find_control.h"
#include "operator_input.h"
#include "platform/xml/xml_document.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kConditionFile = "xml/operation/Condition.xml";
const QString kPlanFile = "xml/operation/ScheCondition.xml";
const QString kNoCode = "注册编码不能为空!";

// Works a condition editor's controls as the operator does, with the mouse and the keys.
struct Driver {
    template <typename T = QWidget> T* find(const QString& name) const {
        return findControl<T>(window, name);
    }
    QTableWidget* grid() const { return find<QTableWidget>("Grid"); }
    QComboBox* list(const QString& name) const { return find<QComboBox>(name); }
    QLineEdit* box(const QString& name) const { return find<QLineEdit>(name); }
    void click(const QString& control) const {
        QTest::mouseClick(find(control), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    bool chooseItem(const QString& label) const {
        auto* tree = find<CatalogueTree>("Dir");
        return clickNode(tree, tree->findNode(label));
    }
    void clickCell(int row, int column) const {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          grid()->visualRect(grid()->model()->index(row, column)).center());
    }
    // Types over the code; Enter takes it, or else the click into `leaveFor`.
    void typeCode(const QString& code, const QString& leaveFor = {}) const {
        QComboBox* box = list("cmbCode");
        QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
        retype(box, code);
        if (leaveFor.isEmpty())
            QTest::keyClick(box, Qt::Key_Return);
        else
            click(leaveFor);
    }
    // A new row with its field, operator and typed value, Tab going from cell to cell.
    void addRow(const QString& field, const QString& op, const QString& value) const {
        click("cmdAddLine");
        QVERIFY(chooseEntry(list("cmbFields"), field));
        QTest::keyClick(list("cmbFields"), Qt::Key_Tab);
        QVERIFY(chooseEntry(list("cmbOperate"), op));
        QTest::keyClick(list("cmbOperate"), Qt::Key_Tab);
        QTest::keyClicks(box("txtValue"), value);
    }
    // "field op value connective type" per row.
    QStringList rows() const {
        QStringList shown;
        for (int row = 0; row < grid()->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < 5; ++column) {
                const QTableWidgetItem* cell = grid()->item(row, column);
                cells.append(cell ? cell->text() : QString());
            }
            shown.append(cells.join(' '));
        }
        return shown;
    }

    QWidget* window = nullptr;
};

// A condition editor on a sample application folder, logged in with sender code 001, opened
// in the mode given (none: not set) for the code given (empty: the login's).
struct Editor : Driver {
    explicit Editor(const std::function<void(TestFolder&)>& prepare = {},
                    std::optional<bool> planMode = false, const QString& code = {}) {
        if (prepare)
            prepare(folder);
        if (planMode == true) {
            frm = FrmCondition::openForSchedule(nullptr, s.services, "001", code);
        } else if (planMode) {
            frm = FrmCondition::openNew(nullptr, s.services, "001", false, code);
        } else {
            frm = new FrmCondition(s.services, "001");
            frm->show();
        }
        window = frm;
        frm->activateWindow();
        if (!QTest::qWaitForWindowActive(frm))
            qFatal("the editor did not become active");
    }
    ~Editor() {
        s.prompter.queueAnswer(Prompter::Answer::No);
        delete frm.data();
    }
    // The item as written: "importfile|exportfile|display op value logic, ...".
    QString stored(const QString& element, const QString& code,
                   const QString& file = kConditionFile) const {
        const XmlDocument doc = XmlDocument::fromFile(folder.filePath(file));
        const XmlElement item =
            doc.selectFirst("//*[name()=$e and @code=$c]", {{"e", element}, {"c", code}});
        if (item.isNull())
            return "none";
        QStringList fields;
        for (const XmlElement& field : item.childElements()) {
            fields.append(QStringList{field.attribute("display"), field.attribute("operation"),
                                      field.attribute("value"), field.attribute("logic")}
                              .join(' '));
        }
        return item.attribute("importfile") + "|" + item.attribute("exportfile") + "|" +
               fields.join(", ");
    }

    TestFolder folder;
    TestServices s{folder.path()};
    QPointer<FrmCondition> frm;
};

// Opens the frame's menu on its bar and clicks the item.
void clickMenuItem(QMainWindow& frame, const char* name) {
    QAction* item = frame.findChild<QAction*>(name);
    auto* menu = qobject_cast<QMenu*>(item->parent());
    QMenuBar* bar = frame.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// The conditions of customer 001 in the sample.
const QString kCustomer001 =
    "停用 = 0 and, 发展日期 >= 2020-01-01 and, 信用额度 > 50000 or, 信用期限 <= 30 ";

} // namespace

class ConditionEditorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What can be edited once an item is chosen: the grid only for an item whose structure
    // lists fields, the paths for every item, nothing before the opener has set the mode.
    void editingByItem_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("sche");
        QTest::addColumn<QString>("structure"); // replaces customerxmlrs.xml; "-" removes it
        QTest::addColumn<bool>("grid");
        QTest::addColumn<bool>("paths");
        QTest::addColumn<int>("rows");
        QTest::newRow("group") << "基础档案" << true << "" << false << false << 0;
        QTest::newRow("item") << "客户档案" << true << "" << true << true << 3;
        QTest::newRow("mode not set") << "客户档案" << false << "" << false << false << 3;
        QTest::newRow("no field to test")
            << "客户档案" << true << "<r><code display='编码' iswhere='N'>code</code></r>" << false
            << true << 3;
        QTest::newRow("structure missing") << "客户档案" << true << "-" << false << true << 3;
    }
    void editingByItem() {
        QFETCH(QString, label);
        QFETCH(bool, sche);
        QFETCH(QString, structure);
        QFETCH(bool, grid);
        QFETCH(bool, paths);
        Editor e(
            [&](TestFolder& folder) {
                const QString file = folder.filePath("xml/rsxml/customerxmlrs.xml");
                if (structure == "-")
                    QFile::remove(file);
                else if (!structure.isEmpty())
                    folder.write("xml/rsxml/customerxmlrs.xml", structure.toUtf8());
            },
            sche ? std::optional<bool>(false) : std::nullopt);
        QVERIFY(e.chooseItem(label));
        QCOMPARE(e.grid()->isEnabled(), grid);
        QCOMPARE(e.find("cmdAddLine")->isVisible(), grid);
        QCOMPARE(e.find("cmdDelLine")->isEnabled(), grid);
        QCOMPARE(e.box("txtExport")->isEnabled(), paths);
        QCOMPARE(e.find("cmdFileIn")->isEnabled(), paths);
        QTEST(e.grid()->rowCount(), "rows");
        QVERIFY(e.s.prompter.texts().isEmpty());
    }

    void addingARow() {
        Editor e([](TestFolder& folder) { // row 2 of customer 001 without its operator
            QByteArray xml = folder.read(kConditionFile);
            xml.replace(R"(operation="&gt;" value="50000")", R"(operation="" value="50000")");
            folder.write(kConditionFile, xml);
        });
        QVERIFY(e.chooseItem("客户档案"));
        e.click("cmdAddLine");
        QCOMPARE(e.s.prompter.texts(), QStringList{"第2行逻辑运算符列数据不能为空！\r"});
        QCOMPARE(e.s.prompter.last().icon, Prompter::Icon::Warning);
        QCOMPARE(e.grid()->rowCount(), 3);
        QCOMPARE(e.grid()->currentRow(), 1);
        QCOMPARE(e.grid()->currentColumn(), 1);

        e.clickCell(1, 1);
        QVERIFY(chooseEntry(e.list("cmbOperate"), "大于"));
        e.click("cmdAddLine");
        QCOMPARE(e.grid()->rowCount(), 4);
        QComboBox* fields = e.list("cmbFields");
        QVERIFY(fields->hasFocus());
        QCOMPARE(fields->geometry(), e.grid()->visualRect(e.grid()->model()->index(3, 0)));
        QCOMPARE(e.rows()[1], "信用额度 大于 50000 或者 小数");
        QCOMPARE(e.s.prompter.texts().size(), 1);
    }

    // A new field for a row with a value moves to its value box, which is checked against the
    // new field's type when left; a refused check keeps the focus and the click.
    void changingTheFieldOfARowWithAValue() {
        Editor e;
        QVERIFY(e.chooseItem("客户档案"));
        e.clickCell(1, 0);
        QVERIFY(chooseEntry(e.list("cmbFields"), "发展日期"));
        QLineEdit* value = e.box("txtValue");
        QVERIFY(value->hasFocus());
        QCOMPARE(value->text(), "50000");
        QCOMPARE(e.rows()[1], "发展日期 大于 50000 或者 日期");
        e.click("cmdSave");
        QCOMPARE(e.s.prompter.texts(), QStringList{"输入的内容不是有效日期！"});
        QCOMPARE(e.s.prompter.last().icon, Prompter::Icon::None);
        QVERIFY(value->hasFocus());
        QCOMPARE(e.stored("customer", "001"), "||" + kCustomer001);
        retype(value, "2024-2-3");
        e.click("cmdSave");
        QCOMPARE(e.stored("customer", "001"), "||停用 = 0 and, 发展日期 >= 2020-01-01 and, "
                                              "发展日期 > 2024-02-03 or, 信用期限 <= 30 ");
    }

    // Enter opens a cell's editor and commits it, Escape cancels, Tab commits and goes on; past
    // the last cell the focus leaves the grid.
    void keyboardInTheGrid() {
        Editor e;
        QVERIFY(e.chooseItem("客户档案"));
        QTableWidget* grid = e.grid();
        QComboBox* operators = e.list("cmbOperate");
        e.clickCell(2, 1);
        QTest::keyClick(operators, Qt::Key_Escape);
        QVERIFY(grid->hasFocus());
        QTest::keyClick(grid, Qt::Key_Return); // the list drops down
        QTRY_VERIFY(operators->view()->isVisible());
        QTest::keyClick(operators->view(), Qt::Key_Home);
        QTest::keyClick(operators->view(), Qt::Key_Return);
        QCOMPARE(operators->currentText(), "大于");
        QTest::keyClick(operators, Qt::Key_Escape); // the cell keeps its operator
        QVERIFY(!operators->isVisible());
        QVERIFY(grid->hasFocus());
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Return);
        QLineEdit* value = e.box("txtValue");
        QVERIFY(value->hasFocus());
        QTest::keyClicks(value, "4'5");
        QTest::keyClick(value, Qt::Key_Tab);
        QComboBox* connectives = e.list("cmbLink");
        QVERIFY(connectives->hasFocus());
        QTest::keyClick(connectives, Qt::Key_Down); // drops the list down too
        QTRY_VERIFY(connectives->view()->isVisible());
        QTest::keyClick(connectives->view(), Qt::Key_End);
        QTest::keyClick(connectives->view(), Qt::Key_Return);
        QTest::keyClick(connectives, Qt::Key_Return);
        QVERIFY(grid->hasFocus());
        QCOMPARE(e.rows()[2], "信用期限 小于等于 45 或者 整数");
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), e.find("cmdAddLine"));
        QVERIFY(e.s.prompter.texts().isEmpty());
    }

    // After saving the grid shows what was saved, so the next save keeps it.
    void savingTwice() {
        Editor e;
        QVERIFY(e.chooseItem("客户档案"));
        e.s.prompter.queuePath("/data/out.xml");
        e.click("cmdFileOut");
        e.click("cmdFileIn"); // cancelled
        e.click("cmdSave");
        const QString saved = "|" + QDir::toNativeSeparators("/data/out.xml") + "|";
        QCOMPARE(e.stored("customer", "001"), saved + kCustomer001);
        QCOMPARE(e.grid()->rowCount(), 3);

        e.addRow("客户名称", "等于", "Brien");
        e.click("cmdSave");
        QCOMPARE(e.stored("customer", "001"),
                 saved + "停用 = 0 and, 发展日期 >= 2020-01-01 and, 信用额度 > 50000 or, "
                         "信用期限 <= 30 and, 客户名称 = Brien ");
        QCOMPARE(e.rows().last(), "客户名称 等于 Brien  文本");
        QCOMPARE(e.s.prompter.records().size(), 2); // the two file dialogs
    }

    // The grid is stored under the code it was read for: a typed code is read when Enter
    // takes it or the box is left, and the current item clicked again is stored and read
    // again. Closing offers to save.
    void typedCodes() {
        Editor e;
        QVERIFY(e.chooseItem("客户档案"));
        e.clickCell(2, 0);
        e.click("cmdDelLine");
        e.typeCode("002");
        QCOMPARE(e.rows(), QStringList({"客户编码 大于等于 C003 并且 文本", "停用 等于 0  布尔"}));
        e.clickCell(0, 0);
        e.click("cmdDelLine");
        e.typeCode("001", "txtImport");
        QCOMPARE(e.grid()->rowCount(), 2);
        QTest::keyClicks(e.box("txtImport"), " in.xml ");
        QVERIFY(e.chooseItem("客户档案"));
        QCOMPARE(e.box("txtImport")->text(), "in.xml");
        e.s.prompter.queueAnswer(Prompter::Answer::Yes);
        e.frm->close();
        QTRY_VERIFY(!e.frm);
        QCOMPARE(e.s.prompter.texts(), QStringList{"配置已修改是否保存？"});
        QCOMPARE(e.s.prompter.last().buttons, Prompter::Buttons::YesNo);
        QCOMPARE(e.stored("customer", "001"),
                 "in.xml||停用 = 0 and, 发展日期 >= 2020-01-01 and, 信用额度 > 50000 ");
        QCOMPARE(e.stored("customer", "002"), "||停用 = 0 ");
    }

    // Opening a list over a cell and leaving it writes nothing: not the only operator a
    // date-to-come field offers, not another field for one that left the structure. Saved,
    // the grid shows what was stored.
    void openListsKeepTheirCells() {
        Editor e([](TestFolder& folder) {
            QByteArray xml = folder.read(kConditionFile);
            xml.replace(R"(operation="=" value="2026-12-31")",
                        R"(operation="&lt;=" value="2026-12-31")");
            folder.write(kConditionFile, xml);
            folder.write("xml/rsxml/inventoryxmlrs.xml",
                         "<r><class display='存货分类' iswhere='Y'/><date display='展望到日期' "
                         "iswhere='Y' type='日期'/></r>");
        });
        e.typeCode("002");
        QVERIFY(e.chooseItem("存货档案"));
        const QStringList shown = e.rows();
        QCOMPARE(shown.mid(2),
                 QStringList({"安全库存 大于 0 并且 ", "展望到日期 小于等于 2026-12-31  日期"}));
        e.clickCell(3, 1);
        e.clickCell(2, 0);
        e.click("cmdSave"); // the grid check takes the open field list as the cell stands
        QVERIFY(e.s.prompter.texts().isEmpty());
        QCOMPARE(e.rows(), shown);
    }

    // Opened for a schedule: the plan condition file, for the schedule's code only.
    void planMode() {
        Editor e({}, true, "0'2");
        QCOMPARE(e.frm->windowTitle(), "导入导出设置(计划)");
        QVERIFY(e.find("cmdSaveSche")->isVisible());
        QVERIFY(!e.find("cmdSave")->isVisible());
        QComboBox* code = e.list("cmbCode");
        QVERIFY(!code->isEnabled());
        QCOMPARE(code->count(), 0);
        QCOMPARE(code->currentText(), "0'2");
        QVERIFY(!FrmCondition::openForSchedule(nullptr, e.s.services, "001", " "));
        QCOMPARE(e.s.prompter.texts(), QStringList{"请选择注册编码"});
        const QByteArray conditions = e.folder.read(kConditionFile);
        QVERIFY(e.chooseItem("付款单"));
        e.addRow("金额", "大于", "0");
        e.click("cmdSaveSche");
        QCOMPARE(e.stored("paymentbill", "0'2", kPlanFile), "||金额 > 0 ");
        QCOMPARE(e.folder.read(kConditionFile), conditions);
        QCOMPARE(e.rows(), QStringList{"金额 大于 0  小数"});
    }

    void voucherProjectRules() {
        Editor e([](TestFolder& folder) {
            folder.write(
                "xml/rsxml/voucherxmlrs.xml",
                "<r><item_class display='项目大类' iswhere='Y'/><item_id display='项目编号' "
                "iswhere='Y'/><code display='凭证编码' iswhere='Y'/></r>");
            folder.write(
                kConditionFile,
                "<c><voucher name='凭证' code='001'><field display='项目大类' operation='=' "
                "value='01' logic='and'/><field display='项目编号' operation='=' "
                "value='0001' logic=''/></voucher></c>");
        });
        QVERIFY(e.chooseItem("凭证"));
        e.clickCell(0, 0);
        e.click("cmdDelLine");
        QVERIFY(chooseEntry(e.list("cmbFields"), "凭证编码"));
        QCOMPARE(e.list("cmbFields")->currentText(), "项目大类");
        QCOMPARE(e.s.prompter.texts(), QStringList({"请先项目编号，然后再删除项目分类！",
                                                    "请先设置项目大类，然后再设置项目编号！"}));
        e.clickCell(1, 0);
        e.click("cmdDelLine");
        QCOMPARE(e.rows(), QStringList{"项目大类 等于 01 并且 文本"});
    }

    // Without a code nothing is read or stored, the item's template included, and nothing is
    // saved.
    void withoutACode() {
        Editor e;
        const QString templateItem = e.stored("customer", "");
        QVERIFY(e.chooseItem("客户档案"));
        e.clickCell(2, 0);
        e.click("cmdDelLine");
        e.typeCode("");
        QCOMPARE(e.s.prompter.texts(), QStringList{"请输入注册编码"});
        QCOMPARE(e.s.prompter.last().title, "提示");
        QCOMPARE(e.grid()->rowCount(), 0);
        QVERIFY(!e.grid()->isEnabled());
        QVERIFY(!e.box("txtImport")->isEnabled());
        QVERIFY(e.chooseItem("存货档案"));
        e.click("cmdSave");
        e.s.prompter.queueAnswer(Prompter::Answer::Yes);
        QVERIFY(!e.frm->close());
        QCOMPARE(e.s.prompter.texts(), QStringList({"请输入注册编码", "请输入注册编码", kNoCode,
                                                    "配置已修改是否保存？", kNoCode}));
        QCOMPARE(e.s.prompter.last().title, "导入导出设置");
        e.typeCode("001");
        e.click("cmdSave");
        QCOMPARE(e.stored("customer", ""), templateItem);
        QCOMPARE(e.stored("customer", "001"),
                 "||停用 = 0 and, 发展日期 >= 2020-01-01 and, 信用额度 > 50000 ");
    }

    // A condition file that cannot be loaded is reported at each read and store.
    void brokenFile() {
        Editor e([](TestFolder& folder) { folder.write(kConditionFile, "<condition><customer"); });
        QVERIFY(e.chooseItem("客户档案"));
        const QString failure = QDir::toNativeSeparators(e.folder.filePath(kConditionFile)) +
                                "导入导出配置文件不存在！无法保存数据！";
        QCOMPARE(e.s.prompter.texts(), QStringList{failure});
        e.click("txtImport");
        QTest::keyClicks(e.box("txtImport"), "in.xml");
        e.click("cmdSave");
        QCOMPARE(e.s.prompter.texts(), QStringList({failure, failure}));
    }

    // The frame's menu item opens the editor on the login's code, the exchange window's
    // settings button a second one bound to that code. What saved conditions do to an export
    // is checked where runs send them and where the server applies them.
    void openedFromTheFrame() {
        TestFolder folder;
        TestServices s(folder.path());
        AppContext context;
        context.login.acceptLogin({"http://127.0.0.1:1/", "demo", "x", "2026-03-15"}, "001", true,
                                  true);
        FrmMain frame(s.services, context);
        registerWorkWindows(frame, s.services, context);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));

        clickMenuItem(frame, "miSetting");
        const Driver menuEditor{frame.workWindow(WorkWindow::ConditionEditor)};
        QVERIFY(menuEditor.chooseItem("客户档案"));
        QCOMPARE(menuEditor.grid()->rowCount(), 3); // customer 001's conditions

        clickMenuItem(frame, "miExcute");
        const Driver exchange{frame.workWindow(WorkWindow::ExchangeWindow)};
        exchange.click("cmdSetting");
        const Driver buttonEditor{frame.mdiArea()->activeSubWindow()->widget()};
        QVERIFY(buttonEditor.window != menuEditor.window);
        QCOMPARE(buttonEditor.list("cmbCode")->currentText(), "001");
        QVERIFY(!buttonEditor.list("cmbCode")->isEnabled());
        QVERIFY(s.prompter.records().isEmpty());
    }
};

KVX_TEST_MAIN(ConditionEditorTest)
#include "tst_condition_editor.moc"
