#include "conditions/condition_vocabulary.h"
#include "conditions/grid_check.h"
#include "conditions/value_checks.h"
#include "conditions/voucher_project_rules.h"
#include "test_main.h"

using namespace kvx;

Q_DECLARE_METATYPE(kvx::OpenCellEditor)

namespace {

const QStringList kSixOperators{"大于", "大于等于", "小于", "小于等于", "等于", "不等于"};

GridRow gridRow(const QString& field, const QString& op, const QString& value,
                const QString& type = "文本") {
    return {field, op, value, "并且", type};
}

} // namespace

class ConditionVocabularyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each pair both ways; any other text maps to nothing, except that every connective label
    // but "或者" stores as "and".
    void translationTables() {
        const QList<std::pair<QString, QString>> operators{{"等于", "="},      {"大于", ">"},
                                                           {"小于", "<"},      {"不等于", "<>"},
                                                           {"大于等于", ">="}, {"小于等于", "<="}};
        for (const auto& [label, symbol] : operators) {
            QCOMPARE(OperatorToSymbol(label), symbol);
            QCOMPARE(SymbolToOperator(symbol), label);
        }
        for (const char* other : {"大于 等于", " 等于", "", "=="})
            QCOMPARE(OperatorToSymbol(other) + SymbolToOperator(other), QString());
        QCOMPARE(ConnectiveToCode("或者"), QString("or"));
        for (const char* label : {"并且", "", "或"})
            QCOMPARE(ConnectiveToCode(label), QString("and"));
        QCOMPARE(CodeToConnective("or"), QString("或者"));
        QCOMPARE(CodeToConnective("and"), QString("并且"));
        for (const char* code : {"", "AND", " or"})
            QCOMPARE(CodeToConnective(code), QString());
    }

    void operatorsForField_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("current");
        QTest::addColumn<QStringList>("offered");
        const auto row = [](const char* tag, const char* display, const char* type,
                            const QStringList& current, const QStringList& offered) {
            QTest::newRow(tag) << QString(display) << QString(type) << current << offered;
        };
        row("decimal", "信用额度", "小数", {"等于"}, kSixOperators);
        row("boolean after the initial list", "停用", "布尔", initialOperators(), {"等于"});
        row("boolean after a boolean", "停用", "布尔", {"等于"}, {"等于"});
        row("forecast date of type date", "展望到日期", "日期", initialOperators(), {"等于"});
        row("unknown type", "x", "货币", {}, kSixOperators);
    }
    void operatorsForField() {
        QFETCH(QString, display);
        QFETCH(QString, type);
        QFETCH(QStringList, current);
        QTEST(OperatorsForField(display, type, current), "offered");
    }

    void valueChecks_data() {
        QTest::addColumn<bool>("onLeaving"); // txtValue_Validate, else ValidUserInput
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("message");
        struct Case {
            const char *name, *type, *text, *locale;
            bool onLeaving, passed;
            const char *after, *message;
        };
        const char* noNumber = "输入的不是有效的数字！";
        const char* noInteger = "输入的不是有效的整数！";
        const char* noDate = "输入的内容不是有效日期！";
        const char* early = "输入的日期年份应大于等于1900";
        const char* noBoolean = "逻辑值请输入1或0";
        const Case cases[] = {
            {"decimal left empty", "小数", "", "zh_CN", true, true, "0", ""},
            {"decimal empty in the grid", "小数", "", "zh_CN", false, false, "", noNumber},
            {"signed decimal", "小数", " -12.50 ", "zh_CN", true, true, " -12.50 ", ""},
            {"fraction alone", "小数", "+.5", "zh_CN", false, true, "+.5", ""},
            {"exponent", "小数", "1e3", "zh_CN", true, false, "1e3", noNumber},
            {"integer left empty", "整数", "", "zh_CN", true, true, "0", ""},
            {"integer with a point", "整数", "3.0", "zh_CN", true, false, "3.0", noInteger},
            {"last day of 1899", "日期", "1899-12-31", "zh_CN", true, false, "1899-12-31", early},
            {"first day of 1900", "日期", "1900-1-1", "zh_CN", false, true, "1900-01-01", ""},
            {"last day of 2100", "日期", "2100/12/31", "zh_CN", true, true, "2100-12-31", ""},
            {"first day of 2101", "日期", "2101-01-01", "zh_CN", false, false, "2101-01-01",
             "输入的日期年份应小于2100！"},
            {"today in lower case", "日期", "today", "zh_CN", true, true, "today", ""},
            {"today in the grid", "日期", "ToDay", "zh_CN", false, true, "ToDay", ""},
            {"today with a blank", "日期", "today ", "zh_CN", true, false, "today ", noDate},
            {"date left empty", "日期", "", "zh_CN", true, true, "Today", ""},
            {"date empty in the grid", "日期", "", "zh_CN", false, false, "", noDate},
            {"no such day", "日期", "2026-02-30", "zh_CN", true, false, "2026-02-30", noDate},
            {"US short date", "日期", "3/15/26", "en_US", true, true, "2026-03-15", ""},
            {"US short date of 1930", "日期", "1/2/30", "en_US", true, true, "1930-01-02", ""},
            {"German short date", "日期", "15.03.2026", "de_DE", false, true, "2026-03-15", ""},
            {"year 99", "日期", "0099-01-01", "zh_CN", true, false, "0099-01-01", early},
            {"boolean with blanks", "布尔", " 1 ", "zh_CN", true, true, " 1 ", ""},
            {"boolean 2", "布尔", "2", "zh_CN", false, false, "2", noBoolean},
            {"boolean left empty", "布尔", "", "zh_CN", true, true, "0", ""},
            {"boolean empty in the grid", "布尔", "", "zh_CN", false, false, "", noBoolean},
            {"text left empty", "文本", "", "zh_CN", true, true, "", ""},
            {"no field chosen", "", "abc", "zh_CN", true, true, "abc", ""},
            {"row without type", "", "abc", "zh_CN", false, false, "abc", ""},
            {"other type", "货币", "", "zh_CN", false, true, "", ""},
        };
        for (const Case& c : cases) {
            QTest::newRow(c.name) << c.onLeaving << QString(c.type) << QString(c.text)
                                  << QString(c.locale) << c.passed << QString(c.after)
                                  << QString(c.message);
        }
    }
    void valueChecks() {
        QFETCH(bool, onLeaving);
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, locale);
        const ValueCheck check = onLeaving ? txtValue_Validate(type, text, QLocale(locale))
                                           : ValidUserInput(type, text, QLocale(locale));
        QTEST(check.passed, "passed");
        QTEST(check.text, "after");
        QTEST(check.message, "message");
    }

    void typingFilters() {
        const QString forbidden = "'<>:;,?!@#$%^&*()|\\\"";
        QCOMPARE(forbidden.size(), 20);
        for (QChar c : forbidden)
            QVERIFY2(!txtValue_KeyPress(c), qPrintable(QString(c)));
        for (QChar c : QString("aZ09-_. 项/+=[]{}~`"))
            QVERIFY2(txtValue_KeyPress(c), qPrintable(QString(c)));
        for (QChar c : QString("azAZ09-") + QChar(8) + QChar(13) + QChar(27) + QChar(144))
            QVERIFY2(cmbCode_KeyPress(c), qPrintable(QString::number(c.unicode())));
        for (QChar c : QString("_ ./'项+") + QChar(3) + QChar(22) + QChar(127))
            QVERIFY2(!cmbCode_KeyPress(c), qPrintable(QString::number(c.unicode())));
    }

    // The first failing row and column with the message, or "passed"; and the value box after.
    void gridCheck_data() {
        QTest::addColumn<QList<GridRow>>("rows");
        QTest::addColumn<OpenCellEditor>("editor");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("boxAfter");
        const GridRow good = gridRow("客户编码", "等于", "C001");
        const OpenCellEditor none;
        const auto row = [](const char* tag, const QList<GridRow>& rows,
                            const OpenCellEditor& editor, const char* outcome,
                            const char* boxAfter = "") {
            QTest::newRow(tag) << rows << editor << QString(outcome) << QString(boxAfter);
        };
        row("all good", {good, good}, none, "passed");
        row("third row without operator",
            {good, good, gridRow("客户编码", "", "x"), gridRow("", "", "")}, none,
            "3 1 第3行逻辑运算符列数据不能为空！\r");
        row("field list open without selection over a filled cell", {good, good}, {2, 0, false, {}},
            "2 0 第2行选择项列数据不能为空！\r");
        row("operator list open with a selection over an empty cell", {gridRow("编码", "", "x")},
            {1, 1, true, {}}, "passed");
        row("text row with empty value", {gridRow("名称", "等于", "")}, none, "passed");
        row("decimal row with empty value", {good, gridRow("额度", "大于", "", "小数")}, none,
            "2 2 第2行值列数据不能为空！\r");
        row("value box open: its check speaks, by the row's type",
            {gridRow("停用", "等于", "1", "布尔")}, {1, 2, false, "2"}, "1 2 逻辑值请输入1或0",
            "2");
        row("value box open: a date is rewritten", {gridRow("日期", "等于", "", "日期")},
            {1, 2, false, "2026-3-1"}, "passed", "2026-03-01");
        row("value box open on a row without type: silent", {gridRow("旧字段", "等于", "x", "")},
            {1, 2, false, "x"}, "1 2 ", "x");
    }
    void gridCheck() {
        QFETCH(QList<GridRow>, rows);
        QFETCH(OpenCellEditor, editor);
        QFETCH(QString, outcome);
        const GridCheck check = ValidInput(rows, editor, QLocale("zh_CN"));
        QCOMPARE(check.passed
                     ? QString("passed")
                     : QString("%1 %2 %3").arg(check.row).arg(check.column).arg(check.message),
                 outcome);
        QTEST(check.valueText, "boxAfter");
        QCOMPARE(check.icon,
                 outcome.endsWith('\r') ? Prompter::Icon::Warning : Prompter::Icon::None);
    }

    // The project class must be set before the project number and deleted after it.
    void voucherProjectRules_data() {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("chosen"); // empty: deleting the current row
        QTest::addColumn<bool>("refused");
        const QString number = "项目编号";
        const QString klass = "项目大类";
        QTest::newRow("number before class") << QStringList{"凭证号", ""} << 1 << number << true;
        QTest::newRow("number after class") << QStringList{klass, ""} << 1 << number << false;
        QTest::newRow("class over a number") << QStringList{number} << 0 << klass << false;
        QTest::newRow("other field beside a lone number")
            << QStringList{number, ""} << 1 << "凭证号" << true;
        QTest::newRow("other field, no number")
            << QStringList{"凭证号", ""} << 1 << "会计年度" << false;
        QTest::newRow("delete the only class before the number")
            << QStringList{klass, number} << 0 << "" << true;
        QTest::newRow("delete one of two classes")
            << QStringList{klass, number, klass} << 0 << "" << false;
        QTest::newRow("delete the class without number")
            << QStringList{klass, "凭证号"} << 0 << "" << false;
        QTest::newRow("delete the number") << QStringList{klass, number} << 1 << "" << false;
    }
    void voucherProjectRules() {
        QFETCH(QStringList, fields);
        QFETCH(int, current);
        QFETCH(QString, chosen);
        QFETCH(bool, refused);
        QCOMPARE(chosen.isEmpty()
                     ? VoucherProjectRules::refusesDeletion(fields, current)
                     : VoucherProjectRules::refusesFieldChoice(fields, current, chosen),
                 refused);
    }
};

KVX_TEST_MAIN_CORE(ConditionVocabularyTest)
#include "tst_condition_vocabulary.moc"
