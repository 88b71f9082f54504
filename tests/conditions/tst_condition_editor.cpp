#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/work_windows.h"
#include "catalogue/catalogue_tree.h"
#include "conditions/frm_condition.h"
#include "exchange/frm_import.h"
#include "find_control.h"
#include "platform/xml/xml_document.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"
#include "tests/runs/run_fixture.h"
#include "tests/server/server_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kConditionFile = "xml/operation/Condition.xml";
const QString kPlanFile = "xml/operation/ScheCondition.xml";
const QString kNoCode = "注册编码不能为空!";

// Works a condition editor's controls as the operator does.
struct Driver {
    template <typename T = QWidget> T* find(const QString& name) const {
        return findControl<T>(window, name);
    }
    QTableWidget* grid() const { return find<QTableWidget>("Grid"); }
    QComboBox* list(const QString& name) const { return find<QComboBox>(name); }
    QLineEdit* box(const QString& name) const { return find<QLineEdit>(name); }
    void click(const QString& button) const {
        QTest::mouseClick(find(button), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    void chooseItem(const QString& label) const {
        auto* tree = find<CatalogueTree>("Dir");
        tree->setCurrentItem(tree->findNode(label));
    }
    void clickCell(int row, int column) const {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          grid()->visualRect(grid()->model()->index(row, column)).center());
    }
    // The operator picks the entry of an open list.
    void pick(const QString& name, const QString& entry) const {
        QComboBox* combo = list(name);
        const int index = combo->findText(entry);
        QVERIFY2(index >= 0, qPrintable(entry));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    // A new row with its field, operator and value.
    void addRow(const QString& field, const QString& op, const QString& value) const {
        click("cmdAddLine");
        const int row = grid()->rowCount() - 1;
        pick("cmbFields", field);
        clickCell(row, 1);
        pick("cmbOperate", op);
        clickCell(row, 2);
        box("txtValue")->setText(value); // pasted
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

// The item as written: "importfile|exportfile|display op value logic, ...".
QString stored(const TestFolder& folder, const QString& element, const QString& code,
               const QString& file = kConditionFile) {
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
    QString stored(const QString& element, const QString& code,
                   const QString& file = kConditionFile) const {
        return ::stored(folder, element, code, file);
    }

    TestFolder folder;
    TestServices s{folder.path()};
    QPointer<FrmCondition> frm;
};

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
        QFETCH(int, rows);
        Editor e(
            [&](TestFolder& folder) {
                const QString file = folder.filePath("xml/rsxml/customerxmlrs.xml");
                if (structure == "-")
                    QFile::remove(file);
                else if (!structure.isEmpty())
                    folder.write("xml/rsxml/customerxmlrs.xml", structure.toUtf8());
            },
            sche ? std::optional<bool>(false) : std::nullopt);
        e.chooseItem(label);
        QCOMPARE(e.grid()->isEnabled(), grid);
        QCOMPARE(e.find("cmdAddLine")->isVisible(), grid);
        QCOMPARE(e.find("cmdDelLine")->isEnabled(), grid);
        QCOMPARE(e.box("txtExport")->isEnabled(), paths);
        QCOMPARE(e.find("cmdFileIn")->isEnabled(), paths);
        QCOMPARE(e.grid()->rowCount(), rows);
        QVERIFY(e.s.prompter.texts().isEmpty());
    }

    void addingARow() {
        Editor e([](TestFolder& folder) { // row 2 of customer 001 without its operator
            QByteArray xml = folder.read(kConditionFile);
            xml.replace(R"(operation="&gt;" value="50000")", R"(operation="" value="50000")");
            folder.write(kConditionFile, xml);
        });
        e.chooseItem("客户档案");
        e.list("cmbCode")->setCurrentText(" ");
        e.click("cmdAddLine");
        QCOMPARE(e.s.prompter.last().title, QString("导入导出设置"));
        e.list("cmbCode")->setCurrentText("001");
        e.click("cmdAddLine");
        QCOMPARE(e.s.prompter.texts(), QStringList({kNoCode, "第2行逻辑运算符列数据不能为空！\r"}));
        QCOMPARE(e.s.prompter.last().icon, Prompter::Icon::Warning);
        QCOMPARE(e.grid()->rowCount(), 3);
        QCOMPARE(e.grid()->currentRow(), 1);
        QCOMPARE(e.grid()->currentColumn(), 1);

        e.clickCell(1, 1);
        e.pick("cmbOperate", "大于");
        e.click("cmdAddLine");
        QCOMPARE(e.grid()->rowCount(), 4);
        QComboBox* fields = e.list("cmbFields");
        QVERIFY(fields->hasFocus());
        QCOMPARE(fields->geometry(), e.grid()->visualRect(e.grid()->model()->index(3, 0)));
        QCOMPARE(e.rows()[1], "信用额度 大于 50000 或者 小数");
        QCOMPARE(e.s.prompter.texts().size(), 2);
    }

    // A new field for a row with a value moves to its value box, which is checked against the
    // new field's type when left; a refused check keeps the focus and the click.
    void changingTheFieldOfARowWithAValue() {
        Editor e;
        e.chooseItem("客户档案");
        e.clickCell(1, 0);
        e.pick("cmbFields", "发展日期");
        QLineEdit* value = e.box("txtValue");
        QVERIFY(value->hasFocus());
        QCOMPARE(value->text(), "50000");
        QCOMPARE(e.rows()[1], "发展日期 大于 50000 或者 日期");
        e.click("cmdSave");
        QCOMPARE(e.s.prompter.texts(), QStringList{"输入的内容不是有效日期！"});
        QCOMPARE(e.s.prompter.last().icon, Prompter::Icon::None);
        QVERIFY(value->hasFocus());
        QCOMPARE(e.stored("customer", "001"), "||" + kCustomer001);
        value->setText("2024-2-3");
        e.click("cmdSave");
        QCOMPARE(e.stored("customer", "001"), "||停用 = 0 and, 发展日期 >= 2020-01-01 and, "
                                              "发展日期 > 2024-02-03 or, 信用期限 <= 30 ");
    }

    // Enter opens a cell's editor and commits it, Escape cancels, Tab commits and goes on; past
    // the last cell the focus leaves the grid.
    void keyboardInTheGrid() {
        Editor e;
        e.chooseItem("客户档案");
        QTableWidget* grid = e.grid();
        grid->setFocus();
        grid->setCurrentCell(2, 1);
        QTest::keyClick(grid, Qt::Key_Return);
        QComboBox* operators = e.list("cmbOperate");
        operators->hidePopup();
        QVERIFY(operators->hasFocus());
        QTest::keyClick(operators, Qt::Key_Down);
        operators->hidePopup();
        operators->setCurrentIndex(0);
        QTest::keyClick(operators, Qt::Key_Escape);
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
        connectives->setCurrentIndex(1);
        QTest::keyClick(connectives, Qt::Key_Return);
        QVERIFY(grid->hasFocus());
        QCOMPARE(e.rows()[2], "信用期限 小于等于 45 或者 整数");
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), e.find("cmdAddLine"));
        QVERIFY(e.s.prompter.texts().isEmpty());
    }

    // After saving the grid shows what was saved, so the next save keeps it; a read-only file
    // is overwritten; a value with an apostrophe is stored and found as typed.
    void savingTwice() {
        Editor e([](TestFolder& folder) {
            QFile::setPermissions(folder.filePath(kConditionFile), QFile::ReadOwner);
        });
        e.chooseItem("客户档案");
        e.s.prompter.queuePath("/data/out.xml");
        e.click("cmdFileOut");
        e.click("cmdFileIn"); // cancelled
        e.click("cmdSave");
        const QString saved = "|" + QDir::toNativeSeparators("/data/out.xml") + "|";
        QCOMPARE(e.stored("customer", "001"), saved + kCustomer001);
        QVERIFY(QFileInfo(e.folder.filePath(kConditionFile)).isWritable());
        QCOMPARE(e.grid()->rowCount(), 3);

        e.addRow("客户名称", "等于", "O'Brien");
        e.click("cmdSave");
        QCOMPARE(e.stored("customer", "001"),
                 saved + "停用 = 0 and, 发展日期 >= 2020-01-01 and, 信用额度 > 50000 or, "
                         "信用期限 <= 30 and, 客户名称 = O'Brien ");
        e.chooseItem("存货档案");
        e.chooseItem("客户档案");
        QCOMPARE(e.rows().last(), "客户名称 等于 O'Brien  文本");
        QCOMPARE(e.s.prompter.records().size(), 2); // the two file dialogs
    }

    // Changes go into the document when another sender code or item is chosen, and closing
    // offers to save them.
    void changesKeptUntilClosing() {
        Editor e;
        e.chooseItem("客户档案");
        e.clickCell(2, 0);
        e.click("cmdDelLine");
        e.list("cmbCode")->setCurrentText("002"); // typed, not chosen
        e.pick("cmbCode", "001");
        QCOMPARE(e.grid()->rowCount(), 2);
        e.clickCell(1, 0);
        e.click("cmdDelLine");
        e.chooseItem("存货档案");
        QCOMPARE(e.grid()->rowCount(), 0);
        e.s.prompter.queueAnswer(Prompter::Answer::Yes);
        e.frm->close();
        QTRY_VERIFY(!e.frm);
        QCOMPARE(e.s.prompter.texts(), QStringList{"配置已修改是否保存？"});
        QCOMPARE(e.s.prompter.last().buttons, Prompter::Buttons::YesNo);
        QCOMPARE(e.stored("customer", "001"), "||停用 = 0 and, 发展日期 >= 2020-01-01 ");
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
        e.chooseItem("付款单");
        e.addRow("金额", "大于", "0");
        e.click("cmdSaveSche");
        QCOMPARE(e.stored("paymentbill", "0'2", kPlanFile), "||金额 > 0 ");
        QCOMPARE(e.folder.read(kConditionFile), conditions);
        e.chooseItem("应付单");
        e.chooseItem("付款单");
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
        e.chooseItem("凭证");
        e.clickCell(0, 0);
        e.click("cmdDelLine");
        e.pick("cmbFields", "凭证编码");
        QCOMPARE(e.list("cmbFields")->currentText(), "项目大类");
        QCOMPARE(e.s.prompter.texts(), QStringList({"请先项目编号，然后再删除项目分类！",
                                                    "请先设置项目大类，然后再设置项目编号！"}));
        e.clickCell(1, 0);
        e.click("cmdDelLine");
        QCOMPARE(e.rows(), QStringList{"项目大类 等于 01 并且 文本"});
    }

    // Without a code nothing is added, chosen or saved; a file that cannot be loaded is never
    // written.
    void refusals() {
        const QByteArray broken = "<condition><customer";
        Editor e([&](TestFolder& folder) { folder.write(kConditionFile, broken); });
        e.chooseItem("客户档案");
        const QString failure = QDir::toNativeSeparators(e.folder.filePath(kConditionFile)) +
                                "导入导出配置文件不存在！无法保存数据！";
        QCOMPARE(e.s.prompter.texts(), QStringList{failure});
        QTest::keyClicks(e.box("txtImport"), "in.xml");
        e.click("cmdSave");
        QCOMPARE(e.s.prompter.texts(), QStringList({failure, failure}));
        QCOMPARE(e.folder.read(kConditionFile), broken);

        e.s.prompter.clear();
        e.list("cmbCode")->setCurrentText("");
        for (const char* button : {"cmdFileIn", "cmdFileOut", "cmdSave"})
            e.click(button);
        e.s.prompter.queueAnswer(Prompter::Answer::Yes);
        QVERIFY(!e.frm->close());
        QCOMPARE(e.s.prompter.texts(),
                 QStringList({kNoCode, kNoCode, kNoCode, "配置已修改是否保存？", kNoCode}));
    }

    // Conditions and export paths set from the frame's menu item and from the exchange
    // window's settings button are what the next export asks the reference server for.
    void exportUsesWhatWasSaved() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        RunFixture run(server.baseUrl());
        AppContext context;
        context.login.acceptLogin(run.login, "001", true, true);
        FrmMain frame(run.services.services, context);
        registerWorkWindows(frame, run.services.services, context);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));

        frame.findChild<QAction*>("miSetting")->trigger();
        const Driver menuEditor{frame.workWindow(WorkWindow::ConditionEditor)};
        menuEditor.chooseItem("客户档案");
        menuEditor.clickCell(2, 0);
        menuEditor.click("cmdDelLine"); // "信用期限 <= 30" would let the disabled C008 through
        run.prompter().queuePath(run.folder.filePath("out/customer.xml"));
        menuEditor.click("cmdFileOut");
        menuEditor.click("cmdSave");

        frame.findChild<QAction*>("miExcute")->trigger();
        const Driver exchange{frame.workWindow(WorkWindow::ExchangeWindow)};
        exchange.click("cmdSetting");
        const Driver buttonEditor{frame.mdiArea()->activeSubWindow()->widget()};
        QVERIFY(!buttonEditor.list("cmbCode")->isEnabled());
        buttonEditor.chooseItem("部门档案");
        buttonEditor.addRow("部门编码", "等于", "D07");
        run.prompter().queuePath(run.folder.filePath("out/department.xml"));
        buttonEditor.click("cmdFileOut");
        buttonEditor.click("cmdSave");

        for (const char* label : {"客户档案", "部门档案"}) {
            exchange.chooseItem(label);
            exchange.click("cmdMoveIn");
        }
        exchange.click("cmdExcute");
        // The run goes on in the event loop until it has finished.
        auto* exchangeWindow =
            qobject_cast<FrmImport*>(frame.workWindow(WorkWindow::ExchangeWindow));
        QTRY_VERIFY_WITH_TIMEOUT(!exchangeWindow->run(), 30000);
        const auto exported = [&](const QString& name) {
            return recordKeys(XmlDocument::fromFile(run.folder.filePath("out/" + name + ".xml")),
                              name);
        };
        QCOMPARE(exported("customer"), QStringList{"C006"});
        QCOMPARE(exported("department"), QStringList{"D07"});
        QCOMPARE(run.prompter().texts().size(), 2); // the two file dialogs, no message
    }
};

KVX_TEST_MAIN(ConditionEditorTest)
#include "tst_condition_editor.moc"
