#include "catalogue/operation_rules.h"
#include "catalogue/operations_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QSet>

using namespace kvx;

namespace {

OperationEntry entryFrom(const QString& xml) {
    const XmlDocument document = XmlDocument::fromString(xml);
    return OperationEntry::fromElement(document.root());
}

// The sample's entry of that label.
OperationEntry sampleEntry(const QString& label) {
    test::TestFolder folder;
    OperationsFile operations;
    if (!operations.load(AppFolder(folder.path())))
        return {};
    return operations.entryFor(label);
}

// An entry from its XML, or the sample's entry of that label.
OperationEntry entryOf(const QString& source) {
    return source.startsWith(QLatin1Char('<')) ? entryFrom(source) : sampleEntry(source);
}

// Keeps what the engine asks to store, as the windows do.
struct StoredStrings {
    explicit StoredStrings(OperationRules& rules) {
        QObject::connect(&rules, &OperationRules::operationStringChanged,
                         [this, &rules](const QString& text) {
                             strings.append(text);
                             defaultsWhenStored.append(rules.applyDefaults());
                         });
    }
    QStringList strings;
    QList<bool> defaultsWhenStored;
};

int boxOf(const OperationRules& rules, const QString& caption) {
    for (int number = 1; number <= rules.optionCount(); ++number) {
        if (rules.box(number).caption == caption)
            return number;
    }
    return 0;
}

// Runs a small script of operator actions: "choose 添加", "check A", "uncheck A",
// "restore 添加|A", "all" (checks every box it can).
void run(OperationRules& rules, const QStringList& script) {
    for (const QString& step : script) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString argument = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("choose"))
            rules.chooseOperation(int(rules.operationNames().indexOf(argument)));
        else if (verb == QLatin1String("check") || verb == QLatin1String("uncheck"))
            rules.setBoxChecked(boxOf(rules, argument), verb == QLatin1String("check"));
        else if (verb == QLatin1String("restore"))
            rules.restore(argument);
        else if (verb == QLatin1String("all"))
            for (int number = 1; number <= rules.optionCount(); ++number)
                rules.setBoxChecked(number, true);
        else
            qFatal("unknown step %s", qPrintable(step));
    }
}

// The captions of the disabled boxes among 1..n.
QStringList disabled(const OperationRules& rules) {
    QStringList result;
    for (int number = 1; number <= rules.optionCount(); ++number) {
        if (!rules.box(number).enabled)
            result.append(rules.box(number).caption);
    }
    return result;
}

// Among boxes 1..n exactly those excluded by the chosen operation are disabled.
QStringList excludedByOperation(const OperationRules& rules) {
    QStringList result;
    const ImportOperation* operation = rules.entry().findOperation(rules.currentOperation());
    for (int number = 1; operation && number <= rules.optionCount(); ++number) {
        for (const OperationRule& rule : operation->rules) {
            if (rule.kind == QLatin1String("exclusive") &&
                rule.target == rules.box(number).caption) {
                result.append(rule.target);
                break;
            }
        }
    }
    return result;
}

// One operation with each kind of rule, and option rules that chain.
const QString kEveryRuleKind = QStringLiteral(
    "<项目><操作><必选><required>A</required></必选><默认><default>A</default>"
    "</默认><排斥><exclusive>A</exclusive></排斥><无规则/></操作><选项>"
    "<A><exclusive>B</exclusive></A><B><nochecked>C</nochecked></B><C/></选项></项目>");

} // namespace

class OperationRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row's script runs on a fresh engine showing the entry; after it the operation
    // string is the one stored last, and exactly the options the operation excludes are
    // disabled.
    void operatorActions_data() {
        QTest::addColumn<QString>("entry"); // XML, or the label of a sample entry
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("disabledBoxes");
        QTest::addColumn<bool>("stops"); // the chain of changes had to be stopped
        auto row = [](const char* tag, const QString& entry, const QStringList& script,
                      const QString& expected, const QStringList& disabled = {},
                      bool stops = false) {
            QTest::newRow(tag) << entry << script << expected << disabled << stops;
        };
        const QString& every = kEveryRuleKind;
        // Each kind of rule.
        row("required checks", every, {"choose 必选"}, "必选|A");
        row("required checks again after the operator unchecks", every,
            {"choose 必选", "uncheck A"}, "必选|A");
        row("default checks", every, {"choose 默认"}, "默认|A");
        row("default only at the choice", every,
            {"choose 默认", "uncheck A", "check C", "uncheck C"}, "默认");
        row("operation exclusive unchecks and disables", every,
            {"choose 无规则", "check A", "choose 排斥"}, "排斥", {"A"});
        row("disabled box refuses the operator", every, {"choose 排斥", "check A"}, "排斥", {"A"});
        row("option exclusive unchecks without disabling", every,
            {"choose 无规则", "check B", "check A", "check B"}, "无规则|A|B|C");
        row("nochecked checks when unchecked", every, {"choose 无规则", "check B", "uncheck B"},
            "无规则|C");
        row("exclusive cascades into nochecked", every, {"choose 无规则", "check B", "check A"},
            "无规则|A|C");
        row("choice unchecks everything first", every,
            {"choose 无规则", "check C", "check A", "choose 无规则"}, "无规则");
        row("captions no box has and unknown kinds do nothing",
            "<项目><操作><X><required>无此项</required><exclusive>也没有</exclusive>"
            "<default>B</default><nochecked>A</nochecked><unknown>A</unknown></X></操作>"
            "<选项><A><nochecked>无</nochecked><exclusive/></A><B><required>A</required></B>"
            "</选项></项目>",
            {"choose X", "check A", "uncheck A"}, "X|B");
        row("nochecked looks past the box",
            "<项目><操作><X/></操作><选项><A><nochecked>C"
            "</nochecked></A><B/><C/></选项></项目>",
            {"choose X", "check A", "uncheck A"}, "X|C");
        row("only five options are used",
            "<项目><操作><X><required>O6</required><required>O5</required></X></操作>"
            "<选项><O1/><O2/><O3/><O4/><O5/><O6/><O7/></选项></项目>",
            {"choose X", "restore X|O7|O1"}, "X|O1|O5");
        row("no operations", "<项目><操作/><选项><A/><B/></选项></项目>",
            {"restore ", "choose 默认"}, "");
        row("a single operation is the one an empty string selects",
            "<项目><操作><唯一><default>A</default></唯一></操作><选项><A/></选项></项目>",
            {"restore "}, "唯一|A");

        // Rule sets that never come to rest end, consistent.
        const QString cycle =
            "<项目><操作><X><required>A</required><required>B</required></X></操作>"
            "<选项><A><exclusive>B</exclusive></A><B><exclusive>A</exclusive></B></选项></项目>";
        row("required options that exclude each other", cycle, {"choose X"}, "X|B", {}, true);
        row("excluded options that check each other",
            "<项目><操作><X/><Y><exclusive>A</exclusive><exclusive>B</exclusive></Y></操作>"
            "<选项><A><nochecked>B</nochecked></A><B><nochecked>A</nochecked></B></选项></项目>",
            {"choose X", "check A", "choose Y"}, "Y|A", {"A", "B"}, true);

        // Stored strings shown again: the boxes start blank, whatever was shown before.
        auto restored = [&row](const char* tag, const char* label, const char* text,
                               const char* expected, const QStringList& disabled = {}) {
            row(tag, label, {"restore 默认", "all", QStringLiteral("restore ") + text}, expected,
                disabled);
        };
        restored("restore an option", "凭证", "添加|允许借贷不平", "添加|允许借贷不平");
        restored("restore keeps a default unchecked", "凭证", "添加|按编码匹配科目",
                 "添加|按编码匹配科目");
        restored("restore empty: the second operation with defaults", "凭证", "",
                 "添加|自动编号|按编码匹配科目");
        restored("restore blank first part ignores the rest", "客户档案", " |已存在时更新",
                 "添加|已存在时跳过");
        restored("restore trims the first part", "客户档案", " 默认 |已存在时更新",
                 "默认|已存在时更新");
        restored("restore leaves excluded options off", "凭证", "修改|自动编号",
                 "修改|按编码匹配科目", {"自动编号", "按名称匹配科目"});
        restored("restore ignores unknown captions", "凭证", "添加||不存在|自动编号",
                 "添加|自动编号");
    }
    void operatorActions() {
        QFETCH(QString, entry);
        QFETCH(QStringList, script);
        QFETCH(QString, expected);
        QFETCH(QStringList, disabledBoxes);
        OperationRules rules;
        rules.showEntry(entryOf(entry));
        StoredStrings stored(rules);
        run(rules, script);
        QCOMPARE(rules.operationString(), expected);
        QCOMPARE(stored.strings.isEmpty() ? QString() : stored.strings.last(), expected);
        QCOMPARE(disabled(rules), disabledBoxes);
        QCOMPARE(excludedByOperation(rules), disabledBoxes);
        QTEST(rules.lastActionStopped(), "stops");
    }

    void applyDefaultsIsClearedAtTheFirstStoring() {
        // Checking A stores before A's exclusive rule unchecks B; B's click then finds the
        // defaults no longer in force and leaves B unchecked.
        OperationRules rules;
        rules.showEntry(entryFrom(
            QStringLiteral("<项目><操作><X><default>A</default><default>B</default></X></操作>"
                           "<选项><A><exclusive>B</exclusive></A><B/></选项></项目>")));
        QVERIFY(rules.applyDefaults());
        StoredStrings stored(rules);
        rules.chooseOperation(0);
        QCOMPARE(rules.operationString(), QStringLiteral("X|A"));
        QCOMPARE(stored.strings.first(), QStringLiteral("X|A|B"));
        QVERIFY(!stored.defaultsWhenStored.contains(true));
        QVERIFY(!rules.applyDefaults());
    }

    void restoringAnOperationNotOfferedStoresNothing() {
        OperationRules rules;
        rules.showEntry(sampleEntry(QStringLiteral("凭证")));
        rules.restore(QStringLiteral("添加|自动编号"));
        StoredStrings stored(rules);
        rules.restore(QStringLiteral("导入|自动编号"));
        QVERIFY(stored.strings.isEmpty());
        QCOMPARE(rules.currentIndex(), -1);
        QCOMPARE(rules.operationString(), QString());
        for (int number = 1; number <= OperationRules::kBoxCount; ++number)
            QVERIFY(!rules.box(number).checked);
    }

    // Every state the operator can reach from the first selection is consistent, and
    // restoring its operation string shows it again exactly.
    void reachableStatesAreConsistentAndRestoreExactly_data() {
        QTest::addColumn<QString>("label");
        for (const char* label : {"凭证", "客户档案", "采购发票", "销售发票", "存货档案"})
            QTest::newRow(label) << QString::fromUtf8(label);
    }
    void reachableStatesAreConsistentAndRestoreExactly() {
        QFETCH(QString, label);
        const OperationEntry entry = sampleEntry(label);
        QVERIFY(entry.hasOwnEntry);
        QSet<QString> seen;
        QList<QStringList> pending{{QStringLiteral("restore ")}};
        while (!pending.isEmpty()) {
            const QStringList script = pending.takeFirst();
            OperationRules rules;
            rules.showEntry(entry);
            StoredStrings stored(rules);
            run(rules, script);
            const QString state = rules.operationString();
            QVERIFY2(!rules.lastActionStopped(), qPrintable(script.join(QLatin1String(", "))));
            QCOMPARE(stored.strings.last(), state);
            QCOMPARE(disabled(rules), excludedByOperation(rules));
            if (seen.contains(state))
                continue;
            seen.insert(state);

            OperationRules restored;
            restored.showEntry(entry);
            restored.restore(state);
            QVERIFY2(restored.operationString() == state,
                     qPrintable(state + QLatin1String(" -> ") + restored.operationString()));
            QCOMPARE(disabled(restored), disabled(rules));

            for (const QString& name : entry.operationNames())
                pending.append(script + QStringList(QStringLiteral("choose ") + name));
            for (int number = 1; number <= rules.optionCount(); ++number) {
                if (rules.box(number).enabled)
                    pending.append(script + QStringList((rules.box(number).checked
                                                             ? QStringLiteral("uncheck ")
                                                             : QStringLiteral("check ")) +
                                                        rules.box(number).caption));
            }
        }
        QVERIFY(seen.size() > 1);
    }

    void denseRuleSetsEndWithinTheLimit() {
        // Every option excludes and, when unchecked, checks every other; the operation
        // requires them all.
        QString required, options;
        for (const QString caption : {"A", "B", "C", "D", "E"}) {
            required += "<required>" + caption + "</required>";
            QString rules;
            for (const QString other : {"A", "B", "C", "D", "E"})
                rules += other == caption ? QString()
                                          : "<exclusive>" + other + "</exclusive><nochecked>" +
                                                other + "</nochecked>";
            options += "<" + caption + ">" + rules + "</" + caption + ">";
        }
        OperationRules rules;
        rules.showEntry(entryFrom("<项目><操作><X>" + required + "</X></操作><选项>" + options +
                                  "</选项></项目>"));
        StoredStrings stored(rules);
        rules.chooseOperation(0);
        QVERIFY(rules.lastActionStopped());
        // Each action stores once per change and once at its end.
        QVERIFY(stored.strings.size() <= OperationRules::kMaxChangesPerAction + 1);
        QCOMPARE(stored.strings.last(), rules.operationString());
    }

    void showEntryResetsWithoutStoring() {
        OperationRules rules;
        QCOMPARE(rules.operationNames().size(), 4);
        rules.showEntry(sampleEntry(QStringLiteral("凭证")));
        rules.restore(QString());
        StoredStrings stored(rules);
        rules.showEntry(sampleEntry(QStringLiteral("采购发票")));
        QCOMPARE(rules.currentIndex(), -1);
        QCOMPARE(rules.optionCount(), 3);
        for (int number = 1; number <= OperationRules::kBoxCount; ++number) {
            QVERIFY(!rules.box(number).checked && rules.box(number).enabled);
            QCOMPARE(rules.box(number).visible, number <= 3);
        }
        rules.showDefaults();
        QCOMPARE(rules.optionCount(), 0);
        QVERIFY(stored.strings.isEmpty());
    }
};

KVX_TEST_MAIN_CORE(OperationRulesTest)
#include "tst_operation_rules.moc"
