#include "account_database.h"
#include "catalogue/catalogue_tree.h"
#include "catalogue/exchange_item_list.h"
#include "conditions/frm_condition.h"
#include "find_control.h"
#include "operator_input.h"
#include "schedule/frm_schedule.h"
#include "schedule/numeric_ctr.h"
#include "schedule/numeric_ctr_rules.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace kvx;
using namespace kvx::test;

namespace {

const QString kFile = QStringLiteral("xml/operation/schedule.xml");
// Schedules "001" (three imports) and "abc".
const char* const kSampleWithAbc =
    "<uinterface><schedule code='001' type='day' begin='2026-01-01' end='2026-12-31' hour='2' "
    "minute='30' month='1' day='1' weekday='1'><import><客户档案/><凭证/><部门档案/></import>"
    "<export/></schedule><schedule code='002'><import><采购发票/></import></schedule>"
    "<schedule code='abc'/></uinterface>";

// The editor on a sample application folder, today 2026-03-15.
struct Editor {
    explicit Editor(bool mayEdit = true, const QByteArray& scheduleFile = {})
        : services(folder.path()) {
        if (!scheduleFile.isEmpty())
            folder.write(kFile, scheduleFile);
        frm = std::make_unique<FrmSchedule>(services.services, mayEdit, "001");
        frm->show();
        frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frm.get(), 30000));
    }

    template <typename T = QWidget> T* find(const QString& name) const {
        return findControl<T>(frm.get(), name);
    }
    NumericCtr* spin(const QString& name) const { return find<NumericCtr>(name); }
    ExchangeItemList* list(const QString& name) const { return find<ExchangeItemList>(name); }
    QComboBox* codes() const { return find<QComboBox>("cmbCode"); }

    // A click near the left end, where a radio button or check box has its mark.
    static void click(QWidget* control) {
        QTest::mouseClick(control, Qt::LeftButton, {},
                          QPoint(qMin(8, control->width() / 2), control->height() / 2));
    }
    void click(const QString& name) const { click(find(name)); }
    // Clicks into the box and types over what it holds.
    static void typeInto(QLineEdit* box, const QString& text) {
        click(box);
        retype(box, text);
    }
    void typeCode(const QString& code, bool enter = true) const {
        typeInto(codes()->lineEdit(), code);
        if (enter)
            QTest::keyClick(codes()->lineEdit(), Qt::Key_Return);
    }
    void typeNumber(const QString& field, const QString& text) const {
        typeInto(spin(field)->textBox(), text);
    }
    void clickEntry(const QString& name, int row, bool twice = false) const {
        ExchangeItemList* entries = list(name);
        const QPoint at = entries->visualItemRect(entries->item(row)).center();
        QTest::mouseClick(entries->viewport(), Qt::LeftButton, {}, at);
        if (twice) // a widget's double click is the click before and the double click event
            QTest::mouseDClick(entries->viewport(), Qt::LeftButton, {}, at);
    }
    void clickNode(const QString& label) const {
        auto* tree = find<CatalogueTree>("Dir");
        QVERIFY(kvx::test::clickNode(tree, tree->findNode(label)));
    }
    void moveIn(const QString& label, const QString& button) const {
        clickNode(label);
        click(button);
    }
    bool chooseOperation(const QString& operation) const {
        return chooseEntry(find<QComboBox>("cmbOperate"), operation);
    }
    QStringList listed(const QString& name) const { return list(name)->selection().labels(); }
    // What the spin fields and the visible ones show: "month day weekday hour minute".
    QString fields() const {
        QStringList shown;
        for (const char* name : {"txtMonth", "txtDay", "txtWeekDay", "txtHour", "txtMinute"})
            shown << (spin(name)->isVisible() ? spin(name)->Value() : "-");
        return shown.join(' ');
    }
    XmlElement saved(const QString& code) {
        file = XmlDocument::fromFile(folder.filePath(kFile));
        return file.root().selectFirst("schedule[@code=$c]", {{"c", code}});
    }

    TestFolder folder;
    TestServices services;
    std::unique_ptr<FrmSchedule> frm;
    XmlDocument file;
};

QList<FrmCondition*> conditionEditors() {
    QList<FrmCondition*> editors;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* editor = qobject_cast<FrmCondition*>(window))
            editors.append(editor);
    }
    return editors;
}

} // namespace

class ScheduleEditorTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A new window: yearly, the spin fields in range although never touched, the period
    // today, the stored codes offered, nothing modified.
    void opensOnTheYearlyFrequency() {
        Editor e;
        QVERIFY(e.find<QRadioButton>("optYear")->isChecked());
        QCOMPARE(e.fields(), "1 1 - 0 0");
        QCOMPARE(e.find<QDateEdit>("begindate")->date(), QDate(2026, 3, 15));
        QCOMPARE(e.find<QDateEdit>("enddate")->date(), QDate(2026, 3, 15));
        QCOMPARE(e.codes()->count(), 3);
        QCOMPARE(e.codes()->itemText(2), "003");
        QVERIFY(!e.frm->isModified());
        QVERIFY(e.find("cmdSave")->isEnabled());
        QVERIFY(e.services.prompter.records().isEmpty());
        e.frm->setFocus(); // as the frame does when it opens the window
        QCOMPARE(QApplication::focusWidget(), e.codes());
    }

    // Without the right the window shows schedules and changes nothing: a double click
    // leaves the list as it is, the operation cannot be chosen, closing neither asks nor saves.
    void withoutTheRightOnlyShows() {
        Editor e(false);
        const QByteArray before = e.folder.read(kFile);
        for (const char* name :
             {"frmFreq", "frmPerio", "cmdImportIn", "cmdImportOut", "cmdExportIn", "cmdExportOut",
              "chkImport", "chkExport", "cmdSave"})
            QVERIFY2(!e.find(name)->isEnabled(), name);
        e.typeCode("002");
        e.clickEntry("lstImport", 0, true);
        e.clickEntry("lstExport", 0, true);
        QCOMPARE(e.listed("lstImport"), QStringList{"采购发票"});
        QCOMPARE(e.listed("lstExport"), QStringList{"付款单"});
        e.clickEntry("lstImport", 0);
        QVERIFY(!e.chooseOperation("修改"));
        QCOMPARE(e.find<QComboBox>("cmbOperate")->currentText(), "添加");
        e.services.prompter.queueAnswer(Prompter::Answer::Yes);
        e.click("cmdOk");
        QVERIFY(!e.frm->isVisible());
        QVERIFY(e.services.prompter.records().isEmpty());
        QCOMPARE(e.folder.read(kFile), before);
        // Without the operations file the window is still prepared, the right included.
        QVERIFY(QFile::remove(e.folder.filePath("xml/operation/ImOperation.xml")));
        e.frm = std::make_unique<FrmSchedule>(e.services.services, false, "001");
        QVERIFY(e.services.prompter.last().text.endsWith("ImOperation.xml文件不存在！"));
        QVERIFY(!e.find("cmdSave")->isEnabled());
        QCOMPARE(e.codes()->count(), 3);
    }

    void frequencyChoosesTheFields_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("fields");
        QTest::newRow("year") << QString("optYear") << "1 1 - 0 0";
        QTest::newRow("month") << QString("optMonth") << "- 1 - 0 0";
        QTest::newRow("week") << QString("optWeek") << "- - 1 0 0";
        QTest::newRow("day") << QString("optDay") << "- - - 0 0";
    }
    void frequencyChoosesTheFields() {
        QFETCH(QString, option);
        Editor e;
        e.click(option);
        QTEST(e.fields(), "fields");
        QVERIFY(e.frm->isModified());
    }

    // A stored schedule with its lists, operations and conversion flags.
    void showsAStoredSchedule() {
        Editor e;
        e.typeCode("002");
        QVERIFY(e.find<QRadioButton>("optWeek")->isChecked());
        QCOMPARE(e.fields(), "- - 5 22 0");
        QCOMPARE(e.find<QDateEdit>("enddate")->date(), QDate(2026, 12, 31));
        QCOMPARE(e.listed("lstExport"), QStringList{"付款单"});
        QVERIFY(!e.frm->isModified());

        e.clickEntry("lstImport", 0);
        QVERIFY(e.find<QRadioButton>("OptIn")->isChecked());
        QCOMPARE(e.find<QComboBox>("cmbOperate")->currentText(), "添加");
        QVERIFY(e.find<QCheckBox>("Check1")->isChecked());  // 专用发票
        QVERIFY(!e.find<QCheckBox>("Check2")->isChecked()); // 普通发票
        QVERIFY(e.find<QCheckBox>("Check3")->isChecked());  // 自动生成发票号
        QVERIFY(e.find<QCheckBox>("chkImport")->isVisible());
        QVERIFY(e.find<QCheckBox>("chkImport")->isChecked());
        QVERIFY(!e.find<QCheckBox>("chkExport")->isVisible());

        e.clickEntry("lstExport", 0);
        QVERIFY(e.find<QRadioButton>("OptOut")->isChecked());
        QVERIFY(!e.find<QComboBox>("cmbOperate")->isVisible());
        QVERIFY(!e.find<QCheckBox>("Check1")->isVisible());
        QVERIFY(e.find<QCheckBox>("chkExport")->isVisible());
        QVERIFY(!e.find<QCheckBox>("chkExport")->isChecked());
        QCOMPARE(e.list("lstImport")->currentRow(), -1);
        QVERIFY(!e.frm->isModified());
    }

    // Values the fields cannot show, and a type the editor does not know, leave what was
    // shown; a save writes that back.
    void storedValuesOutOfRangeAreNotShown() {
        Editor reopened(true, "<uinterface><schedule code='009' type='hourly' "
                              "begin='2026-02-30' end='2026-05-01' hour='24' minute='7' "
                              "month='0' day='32' weekday='x'/></uinterface>");
        reopened.click("optMonth");
        reopened.typeCode("009");
        QVERIFY(reopened.find<QRadioButton>("optMonth")->isChecked());
        QCOMPARE(reopened.fields(), "- 1 - 0 7");
        QCOMPARE(reopened.find<QDateEdit>("begindate")->date(), QDate(2026, 3, 15));
        reopened.click("cmdSave");
        const XmlElement saved = reopened.saved("009");
        QCOMPARE(saved.attribute("type"), "month");
        QCOMPARE(saved.attribute("day"), "1");
        QCOMPARE(saved.attribute("month"), "1");
        QCOMPARE(saved.attribute("hour"), "0");
    }

    // The code box chooses a stored code only from its list or by Enter on exactly that
    // code: no prefix is completed, letter case counts, leaving the box chooses nothing. What
    // is being edited stays until a code is chosen.
    void codeBoxChoosesOnlyAnExactCode_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("code"); // the box's text afterwards
        QTest::addColumn<QStringList>("imports");
        const QStringList edited = {"客户档案", "凭证", "部门档案", "职员档案"};
        QTest::newRow("prefix") << "00" << true << "00" << edited;
        QTest::newRow("other letter case") << "ABC" << true << "ABC" << edited;
        QTest::newRow("left without Enter") << "002" << false << "002" << edited;
        QTest::newRow("exact code and Enter") << "002" << true << "002" << QStringList{"采购发票"};
    }
    void codeBoxChoosesOnlyAnExactCode() {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(QString, code);
        Editor e(true, QString(kSampleWithAbc).toUtf8());
        e.typeCode("001");
        e.moveIn("职员档案", "cmdImportIn");
        e.typeCode(typed, enter);
        e.click("Dir");
        QCOMPARE(e.codes()->currentText(), code);
        QTEST(e.listed("lstImport"), "imports");
        if (!enter) {
            e.click("cmdSave"); // the edited lists go to the typed code
            QCOMPARE(e.saved(code).select("import/*").size(), 4);
            QCOMPARE(e.saved("001").select("import/*").size(), 3);
        }
    }

    // A schedule file that does not load is named damaged, with the parser's reason, and is
    // never written over.
    void damagedFileIsNeverWritten() {
        const QByteArray damaged = "<uinterface><schedule code='001'>";
        Editor e(true, damaged);
        QVERIFY(e.services.prompter.last().text.startsWith(
            QDir::toNativeSeparators(e.folder.filePath(kFile)) + "文件已损坏"));
        e.typeCode("004");
        e.moveIn("客户档案", "cmdImportIn");
        e.services.prompter.clear();
        e.click("cmdSave");
        QVERIFY2(e.services.prompter.last().text.contains("未保存"),
                 qPrintable(e.services.prompter.last().text));
        QCOMPARE(e.listed("lstImport"), QStringList{"客户档案"}); // kept for a later save
        QCOMPARE(e.folder.read(kFile), damaged);
    }

    void emptyCodeIsRefused_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const auto row = [](const char* tag, const char* button, const char* text,
                            const char* title) {
            QTest::newRow(tag) << QString(button) << QString(text) << QString(title);
        };
        row("import in", "cmdImportIn", "请先选择注册编码!", "计划");
        row("export in", "cmdExportIn", "注册编码不能为空!", "计划");
        row("save", "cmdSave", "请先选择注册编码!", "计划");
        row("conditions", "cmdCondition", "请选择注册编码", "提示");
    }
    void emptyCodeIsRefused() {
        QFETCH(QString, button);
        Editor e;
        const QByteArray before = e.folder.read(kFile);
        e.moveIn("客户档案", button); // the code box is still empty
        QTEST(e.services.prompter.last().text, "text");
        QTEST(e.services.prompter.last().title, "title");
        QCOMPARE(e.services.prompter.last().icon, Prompter::Icon::Warning);
        QVERIFY(e.listed("lstImport").isEmpty() && e.listed("lstExport").isEmpty());
        QVERIFY(conditionEditors().isEmpty());
        QCOMPARE(e.folder.read(kFile), before);
    }

    // The plan conditions of the code: a new condition editor on the plan condition file.
    void conditionsOpenInPlanMode() {
        Editor e;
        e.typeCode("002", false);
        e.click("cmdCondition");
        const QList<FrmCondition*> editors = conditionEditors();
        QCOMPARE(editors.size(), 1);
        std::unique_ptr<FrmCondition> editor(editors.first());
        QVERIFY(editor->isPlanMode());
        QCOMPARE(editor->findChild<QComboBox*>("cmbCode")->currentText(), "002");
    }

    void movesItemsInAndOut() {
        Editor e;
        e.typeCode("004"); // not stored yet: Enter keeps it as typed
        auto* tree = e.find<CatalogueTree>("Dir");
        e.moveIn("部门档案", "cmdImportIn");
        e.moveIn("客户档案", "cmdImportIn");
        QCOMPARE(e.listed("lstImport"), (QStringList{"部门档案", "客户档案"}));
        QVERIFY(e.frm->isModified());
        e.clickEntry("lstImport", 0);
        e.click("cmdImportOut");
        QCOMPARE(e.listed("lstImport"), QStringList{"客户档案"});
        QCOMPARE(e.list("lstImport")->currentRow(), 0);
        e.clickEntry("lstImport", 0, true);
        QVERIFY(e.listed("lstImport").isEmpty());
        // By keyboard: from the tree's item Tab to the button, Space.
        e.clickNode("客户档案");
        QTest::keyClick(tree, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(e.listed("lstImport"), QStringList{"客户档案"});
    }

    // The operator's daily schedule for "001" through the controls, then read back.
    void savesWhatIsShown() {
        Editor e;
        e.typeCode("001");
        e.click("optDay");
        e.typeNumber("txtHour", "14");
        e.typeNumber("txtMinute", "05");
        auto* end = e.find<QDateEdit>("enddate");
        QTest::mouseClick(end, Qt::LeftButton);
        QTest::keyClick(end, Qt::Key_Home);
        QTest::keyClicks(end, "2026-06-30");
        e.clickEntry("lstImport", 2); // 部门档案, "默认"
        QVERIFY(e.chooseOperation("修改"));
        e.click("chkImport"); // "y" to "n"
        e.clickEntry("lstImport", 0);
        e.click("cmdImportOut"); // 客户档案 leaves
        e.moveIn("凭证", "cmdExportIn");
        e.clickEntry("lstExport", 2);
        e.click("chkExport");
        e.click("cmdSave");

        QVERIFY(!e.frm->isModified());
        QVERIFY(e.listed("lstImport").isEmpty() && e.listed("lstExport").isEmpty());
        QCOMPARE(e.codes()->currentText(), "001");
        const XmlElement saved = e.saved("001");
        QCOMPARE(saved.attribute("type"), "day");
        QCOMPARE(saved.attribute("hour") + ":" + saved.attribute("minute"), "14:05");
        QCOMPARE(saved.attribute("end"), "2026-06-30");
        QStringList items;
        for (const XmlElement& item : saved.select("*/*"))
            items << item.name() + " " + item.attribute("needexchanged") + " " +
                         item.attribute("operation");
        QCOMPARE(items, (QStringList{"凭证 n 添加|自动编号|按编码匹配科目", "部门档案 n 修改",
                                     "销售发票 n ", "存货档案  ", "凭证 y "}));
    }

    void closingAsksWhenModified_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<Prompter::Answer>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("savedHour"); // of schedule 003 afterwards
        QTest::newRow("no") << "003" << Prompter::Answer::No << true << "23";
        QTest::newRow("yes") << "003" << Prompter::Answer::Yes << true << "6";
        QTest::newRow("yes without a code") << "" << Prompter::Answer::Yes << false << "23";
    }
    void closingAsksWhenModified() {
        QFETCH(QString, code);
        QFETCH(Prompter::Answer, answer);
        QFETCH(bool, closed);
        Editor e;
        e.typeCode("003");
        e.typeNumber("txtHour", "6");
        e.typeCode(code, false);
        e.services.prompter.queueAnswer(answer);
        e.click("cmdOk");
        QCOMPARE(e.services.prompter.records().first().text, "修改尚未保存，是否保存？");
        QCOMPARE(e.services.prompter.records().first().buttons, Prompter::Buttons::YesNo);
        QCOMPARE(e.frm->isVisible(), !closed);
        if (!closed)
            QCOMPARE(e.services.prompter.last().text, "注册编码不能为空!");
        QTEST(e.saved("003").attribute("hour"), "savedHour");
    }

    // With an ERP connection configured, invoices of an unused module move to the module
    // that settles them; without one the tree stays as loaded.
    void erpConnectionAdjustsTheCatalogue() {
        TestFolder erpFolder(TestFolder::Content::Empty);
        AccountDatabase erp(erpFolder.filePath("erp.db"),
                            {{"001", "AP", QString("2026-01-01")}, {"001", "PU", std::nullopt}});
        QVERIFY(erp.isReady());
        const auto parentOf = [](const Editor& e, const QString& label) {
            return CatalogueTree::keyOf(e.find<CatalogueTree>("Dir")->findNode(label)->parent());
        };
        {
            Editor plain;
            QCOMPARE(parentOf(plain, "采购发票"), "采购管理");
        }
        qputenv("KVX_ERP_DATABASE", erpFolder.filePath("erp.db").toUtf8());
        qputenv("KVX_ERP_ACCOUNT", "001");
        Editor adjusted;
        qunsetenv("KVX_ERP_DATABASE");
        qunsetenv("KVX_ERP_ACCOUNT");
        QCOMPARE(parentOf(adjusted, "采购发票"), "应付管理");
        QVERIFY(adjusted.services.prompter.records().isEmpty());
    }

    // The spin fields' rules. Each row: bounds, then texts typed one after another, and what
    // the box shows after each.
    void textChangeSteps_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("above Max falls back")
            << 0 << 59 << QStringList{"7", "75", "07"} << QStringList{"7", "7", "07"};
        QTest::newRow("decimal point and letter")
            << 0 << 59 << QStringList{"7", "7.", "7a", "-"} << QStringList{"7", "7", "7", "7"};
        QTest::newRow("length by Max before value")
            << 1 << 31 << QStringList{"10", "100", "031"} << QStringList{"10", "10", "10"};
        QTest::newRow("deleting the last character")
            << 0 << 23 << QStringList{"5", ""} << QStringList{"5", "5"};
        QTest::newRow("below Min; signs")
            << 1 << 12 << QStringList{"0", "+3", "-1", " 4"} << QStringList{"1", "+3", "+3", "+3"};
        QTest::newRow("sign counts in the length")
            << -5 << 5 << QStringList{"3", "-3"} << QStringList{"3", "3"};
    }
    void textChangeSteps() {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, shown);
        NumericCtrRules rules;
        rules.setBounds(short(min), short(max));
        for (int i = 0; i < typed.size(); ++i) {
            QCOMPARE(rules.textChanged(typed[i]), shown[i]);
            QCOMPARE(rules.lastValid(), shown[i]);
        }
    }

    // Bounds that exclude the creation text "0" bring it into range, so a field that was never
    // touched cannot be saved as "0".
    void boundsBringTheTextIntoRange_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("ups");   // texts after each up-arrow click
        QTest::addColumn<QStringList>("downs"); // then after each down-arrow click
        QTest::newRow("month") << 1 << 12 << "1" << QStringList{"2", "3"}
                               << QStringList{"2", "1", "1"};
        QTest::newRow("minute") << 0 << 59 << "0" << QStringList{"1"} << QStringList{"0", "0"};
        QTest::newRow("at Max") << 0 << 1 << "0" << QStringList{"1", "1"} << QStringList{"0"};
        QTest::newRow("range below zero")
            << -9 << -3 << "-3" << QStringList{"-3"} << QStringList{"-4"};
    }
    void boundsBringTheTextIntoRange() {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QStringList, ups);
        QFETCH(QStringList, downs);
        NumericCtrRules rules;
        QCOMPARE(rules.lastValid(), "0");
        QTEST(rules.setBounds(short(min), short(max)), "shown");
        for (const QString& expected : ups)
            QCOMPARE(rules.stepUp(), expected);
        for (const QString& expected : downs)
            QCOMPARE(rules.stepDown(), expected);
    }

    // The arrows continue from their own position, not from typed text.
    void arrowsKeepTheirOwnPosition() {
        NumericCtrRules rules;
        rules.setBounds(0, 59);
        QCOMPARE(rules.stepUp(), "1");
        rules.textChanged("40");
        QCOMPARE(rules.stepUp(), "2");
    }

    void valueOnlyInRange_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("in range") << "31" << true;
        QTest::newRow("leading zero") << "07" << true;
        QTest::newRow("above Max") << "32" << false;
        QTest::newRow("below Min") << "0" << false;
        QTest::newRow("not a number") << "x1" << false;
        QTest::newRow("empty") << "" << false;
    }
    void valueOnlyInRange() {
        QFETCH(QString, value);
        NumericCtrRules rules;
        rules.setBounds(1, 31);
        QTEST(rules.acceptsValue(value), "accepted");
    }
};

KVX_TEST_MAIN(ScheduleEditorTest)
#include "tst_schedule_editor.moc"
