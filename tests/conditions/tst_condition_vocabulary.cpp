#include "conditions/condition_vocabulary.h"
#include "conditions/grid_check.h"
#include "conditions/value_checks.h"
#include "conditions/voucher_project_rules.h"
#include "test_main.h"

using namespace kvx;

namespace {

const QStringList kSixOperators{"大于", "大于等于", "小于", "小于等于", "等于", "不等于"};
const QString kNoDate = "输入的内容不是有效日期！";

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
        QTest::newRow("decimal") << "信用额度"
                                 << "小数" << QStringList{"等于"} << kSixOperators;
        QTest::newRow("boolean after the initial list")
            << "停用"
            << "布尔" << initialOperators() << QStringList{"等于"};
        QTest::newRow("boolean after a boolean")
            << "停用"
            << "布尔" << QStringList{"等于"} << QStringList{"等于"};
        QTest::newRow("forecast date of type date")
            << "展望到日期"
            << "日期" << initialOperators() << QStringList{"等于"};
        QTest::newRow("unknown type") << "x"
                                      << "货币" << QStringList{} << kSixOperators;
    }
    void operatorsForField() {
        QFETCH(QString, display);
        QFETCH(QString, type);
        QFETCH(QStringList, current);
        QFETCH(QStringList, offered);
        QCOMPARE(OperatorsForField(display, type, current), offered);
    }

    void valueChecks_data() {
        QTest::addColumn<bool>("onLeaving"); // txtValue_Validate, else ValidUserInput
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("message");
        const QString zh = "zh_CN";
        const QString noNumber = "输入的不是有效的数字！";
        const QString noInteger = "输入的不是有效的整数！";
        const QString tooEarly = "输入的日期年份应大于等于1900";
        const QString tooLate = "输入的日期年份应小于2100！";
        const QString noBoolean = "逻辑值请输入1或0";
        QTest::newRow("decimal left empty") << true << "小数"
                                            << "" << zh << true << "0"
                                            << "";
        QTest::newRow("decimal empty in the grid") << false << "小数"
                                                   << "" << zh << false << "" << noNumber;
        QTest::newRow("signed decimal") << true << "小数"
                                        << " -12.50 " << zh << true << " -12.50 "
                                        << "";
        QTest::newRow("fraction alone") << false << "小数"
                                        << "+.5" << zh << true << "+.5"
                                        << "";
        QTest::newRow("exponent") << true << "小数"
                                  << "1e3" << zh << false << "1e3" << noNumber;
        QTest::newRow("group separator") << true << "小数"
                                         << "1,000" << zh << false << "1,000" << noNumber;
        QTest::newRow("integer left empty") << true << "整数"
                                            << "" << zh << true << "0"
                                            << "";
        QTest::newRow("integer with a point") << true << "整数"
                                              << "3.0" << zh << false << "3.0" << noInteger;
        QTest::newRow("integer of letters") << false << "整数"
                                            << "abc" << zh << false << "abc" << noInteger;
        QTest::newRow("last day of 1899")
            << true << "日期"
            << "1899-12-31" << zh << false << "1899-12-31" << tooEarly;
        QTest::newRow("first day of 1900") << false << "日期"
                                           << "1900-1-1" << zh << true << "1900-01-01"
                                           << "";
        QTest::newRow("last day of 2100") << true << "日期"
                                          << "2100/12/31" << zh << true << "2100-12-31"
                                          << "";
        QTest::newRow("first day of 2101")
            << false << "日期"
            << "2101-01-01" << zh << false << "2101-01-01" << tooLate;
        QTest::newRow("today in lower case") << true << "日期"
                                             << "today" << zh << true << "today"
                                             << "";
        QTest::newRow("today in the grid") << false << "日期"
                                           << "ToDay" << zh << true << "ToDay"
                                           << "";
        QTest::newRow("today with a blank") << true << "日期"
                                            << "today " << zh << false << "today " << kNoDate;
        QTest::newRow("date left empty") << true << "日期"
                                         << "" << zh << true << "Today"
                                         << "";
        QTest::newRow("date empty in the grid") << false << "日期"
                                                << "" << zh << false << "" << kNoDate;
        QTest::newRow("no such day") << true << "日期"
                                     << "2026-02-30" << zh << false << "2026-02-30" << kNoDate;
        QTest::newRow("US short date") << true << "日期"
                                       << "3/15/26"
                                       << "en_US" << true << "2026-03-15"
                                       << "";
        QTest::newRow("US short date, year 1930") << true << "日期"
                                                  << "1/2/30"
                                                  << "en_US" << true << "1930-01-02"
                                                  << "";
        QTest::newRow("German short date") << false << "日期"
                                           << "15.03.26"
                                           << "de_DE" << true << "2026-03-15"
                                           << "";
        QTest::newRow("short date, four-digit year") << true << "日期"
                                                     << "3/15/2026"
                                                     << "en_US" << true << "2026-03-15"
                                                     << "";
        QTest::newRow("year 99") << true << "日期"
                                 << "0099-01-01" << zh << false << "0099-01-01" << tooEarly;
        QTest::newRow("boolean with blanks") << true << "布尔"
                                             << " 1 " << zh << true << " 1 "
                                             << "";
        QTest::newRow("boolean 2") << false << "布尔"
                                   << "2" << zh << false << "2" << noBoolean;
        QTest::newRow("boolean left empty") << true << "布尔"
                                            << "" << zh << true << "0"
                                            << "";
        QTest::newRow("boolean empty in the grid") << false << "布尔"
                                                   << "" << zh << false << "" << noBoolean;
        QTest::newRow("text left empty") << true << "文本"
                                         << "" << zh << true << ""
                                         << "";
        QTest::newRow("no field chosen") << true << ""
                                         << "abc" << zh << true << "abc"
                                         << "";
        QTest::newRow("row without type") << false << ""
                                          << "abc" << zh << false << "abc"
                                          << "";
        QTest::newRow("other type") << false << "货币"
                                    << "" << zh << true << ""
                                    << "";
    }
    void valueChecks() {
        QFETCH(bool, onLeaving);
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, locale);
        QFETCH(bool, passed);
        QFETCH(QString, after);
        QFETCH(QString, message);
        const ValueCheck check = onLeaving ? txtValue_Validate(type, text, QLocale(locale))
                                           : ValidUserInput(type, text, QLocale(locale));
        QCOMPARE(check.passed, passed);
        QCOMPARE(check.text, after);
        QCOMPARE(check.message, message);
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

    void gridCheck_data() {
        QTest::addColumn<QList<GridRow>>("rows");
        QTest::addColumn<int>("editorRow");
        QTest::addColumn<int>("editorColumn");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("boxAfter");
        const GridRow good = gridRow("客户编码", "等于", "C001");
        const QString noOperator = "第3行逻辑运算符列数据不能为空！\r";
        QTest::newRow("all good") << QList<GridRow>{good, good} << -1 << -1 << false << "" << -1
                                  << -1 << ""
                                  << "";
        QTest::newRow("third row without operator")
            << QList<GridRow>{good, good, gridRow("客户编码", "", "x"), gridRow("", "", "")} << -1
            << -1 << false << "" << 3 << 1 << noOperator << "";
        QTest::newRow("field list open without selection over a filled cell")
            << QList<GridRow>{good, good} << 2 << 0 << false << "" << 2 << 0
            << "第2行选择项列数据不能为空！\r"
            << "";
        QTest::newRow("operator list open with a selection over an empty cell")
            << QList<GridRow>{gridRow("客户编码", "", "x")} << 1 << 1 << true << "" << -1 << -1
            << ""
            << "";
        QTest::newRow("text row with empty value") << QList<GridRow>{gridRow("名称", "等于", "")}
                                                   << -1 << -1 << false << "" << -1 << -1 << ""
                                                   << "";
        QTest::newRow("decimal row with empty value")
            << QList<GridRow>{good, gridRow("信用额度", "大于", "", "小数")} << -1 << -1 << false
            << "" << 2 << 2 << "第2行值列数据不能为空！\r"
            << "";
        QTest::newRow("value box open: its check speaks, by the row's type")
            << QList<GridRow>{gridRow("停用", "等于", "1", "布尔")} << 1 << 2 << false << "2" << 1
            << 2 << "逻辑值请输入1或0"
            << "2";
        QTest::newRow("value box open: a date is rewritten")
            << QList<GridRow>{gridRow("日期", "等于", "", "日期")} << 1 << 2 << false << "2026-3-1"
            << -1 << -1 << ""
            << "2026-03-01";
        QTest::newRow("value box open on a row without type: silent")
            << QList<GridRow>{gridRow("旧字段", "等于", "x", "")} << 1 << 2 << false << "x" << 1
            << 2 << ""
            << "x";
    }
    void gridCheck() {
        QFETCH(QList<GridRow>, rows);
        QFETCH(int, editorRow);
        QFETCH(int, editorColumn);
        QFETCH(bool, selected);
        QFETCH(QString, boxText);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, message);
        QFETCH(QString, boxAfter);
        const GridCheck check =
            ValidInput(rows, {editorRow, editorColumn, selected, boxText}, QLocale("zh_CN"));
        QCOMPARE(check.passed, row < 0);
        QCOMPARE(check.row, row);
        QCOMPARE(check.column, column);
        QCOMPARE(check.message, message);
        QCOMPARE(check.valueText, boxAfter);
        const bool gridMessage = message.endsWith('\r');
        QCOMPARE(check.icon, gridMessage ? Prompter::Icon::Warning : Prompter::Icon::None);
    }

    void storedRowsAndGridRows() {
        const QList<ConditionField> fields{{"停用", "布尔"}, {"停用", "文本"}, {"日期", "日期"}};
        QCOMPARE(gridRowOf({"停用", "<>", "1", "or", {}}, fields),
                 (GridRow{"停用", "不等于", "1", "或者", "布尔"}));
        QCOMPARE(gridRowOf({"旧", "=>", "1", "", {}}, fields), (GridRow{"旧", "", "1", "", ""}));
        QCOMPARE(conditionRowOf({"日期", "小于等于", "Today", "", "日期"}),
                 (ConditionRow{"日期", "<=", "Today", "and", "日期"}));
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
