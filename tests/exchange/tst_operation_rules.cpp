#include "exchange/operation_rules.h"
#include "exchange/operations_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QSet>

using namespace kvx;

namespace {

OperationEntry entryFrom(const QString& xml) {
    const XmlDocument document = XmlDocument::fromString(xml);
    return OperationEntry::fromElement(document.root());
}

OperationEntry sampleEntry(const QString& label) {
    test::TestFolder folder;
    OperationsFile operations;
    if (!operations.load(AppFolder(folder.path())))
        return {};
    return operations.entryFor(label);
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
// "restore 添加|A".
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

const QString kEveryRuleKind = QStringLiteral(R"(<项目>
  <操作>
    <必选><required>A</required></必选>
    <默认><default>A</default></默认>
    <排斥><exclusive>A</exclusive></排斥>
    <无规则/>
  </操作>
  <选项>
    <A><exclusive>B</exclusive></A>
    <B><nochecked>C</nochecked></B>
    <C/>
  </选项>
</项目>)");

} // namespace

class OperationRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ruleKinds_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("disabledBoxes");
        QTest::newRow("required checks") << QStringList{"choose 必选"} << "必选|A" << QStringList();
        QTest::newRow("required checks again after the operator unchecks")
            << QStringList{"choose 必选", "uncheck A"} << "必选|A" << QStringList();
        QTest::newRow("default checks") << QStringList{"choose 默认"} << "默认|A" << QStringList();
        QTest::newRow("default only at the choice")
            << QStringList{"choose 默认", "uncheck A", "check C", "uncheck C"} << "默认"
            << QStringList();
        QTest::newRow("operation exclusive unchecks and disables")
            << QStringList{"choose 无规则", "check A", "choose 排斥"} << "排斥" << QStringList{"A"};
        QTest::newRow("disabled box refuses the operator")
            << QStringList{"choose 排斥", "check A"} << "排斥" << QStringList{"A"};
        QTest::newRow("option exclusive unchecks without disabling")
            << QStringList{"choose 无规则", "check B", "check A", "check B"} << "无规则|A|B|C"
            << QStringList();
        QTest::newRow("nochecked checks when unchecked")
            << QStringList{"choose 无规则", "check B", "uncheck B"} << "无规则|C" << QStringList();
        QTest::newRow("exclusive cascades into nochecked")
            << QStringList{"choose 无规则", "check B", "check A"} << "无规则|A|C" << QStringList();
        QTest::newRow("choice unchecks everything first")
            << QStringList{"choose 无规则", "check C", "check A", "choose 无规则"} << "无规则"
            << QStringList();
    }
    void ruleKinds() {
        QFETCH(QStringList, script);
        QFETCH(QString, expected);
        QFETCH(QStringList, disabledBoxes);
        OperationRules rules;
        rules.showEntry(entryFrom(kEveryRuleKind));
        StoredStrings stored(rules);
        run(rules, script);
        QCOMPARE(rules.operationString(), expected);
        QCOMPARE(stored.strings.last(), expected);
        QCOMPARE(disabled(rules), disabledBoxes);
        QVERIFY(!rules.lastActionStopped());
    }

    // The sample's entries, step by step: each row's script runs on a fresh engine.
    void sampleCascades_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("disabledBoxes");
        const QString auto_ = QStringLiteral("自动编号"),
                      unbalanced = QStringLiteral("允许借贷不平"),
                      byName = QStringLiteral("按名称匹配科目"),
                      audit = QStringLiteral("导入后审核");
        QTest::newRow("凭证 first selection")
            << "凭证" << QStringList{"restore "} << "添加|自动编号|按编码匹配科目" << QStringList();
        QTest::newRow("凭证 unchecking by-code checks by-name")
            << "凭证" << QStringList{"restore ", "uncheck 按编码匹配科目"}
            << "添加|自动编号|按名称匹配科目" << QStringList();
        QTest::newRow("凭证 audit excludes unbalanced")
            << "凭证" << QStringList{"restore ", "check 允许借贷不平", "check 导入后审核"}
            << "添加|自动编号|按编码匹配科目|导入后审核" << QStringList();
        QTest::newRow("凭证 删除")
            << "凭证" << QStringList{"restore ", "check 导入后审核", "choose 删除"}
            << "删除|按编码匹配科目" << QStringList{auto_, unbalanced, byName, audit};
        QTest::newRow("凭证 删除 keeps its required option")
            << "凭证" << QStringList{"restore ", "choose 删除", "uncheck 按编码匹配科目"}
            << "删除|按编码匹配科目" << QStringList{auto_, unbalanced, byName, audit};
        QTest::newRow("凭证 修改 after by-name")
            << "凭证" << QStringList{"restore ", "uncheck 按编码匹配科目", "choose 修改"}
            << "修改|按编码匹配科目" << QStringList{auto_, byName};
        QTest::newRow("凭证 默认 applies its default again")
            << "凭证" << QStringList{"restore ", "check 按名称匹配科目", "choose 默认"}
            << "默认|按编码匹配科目" << QStringList();
        QTest::newRow("客户档案 first selection")
            << "客户档案" << QStringList{"restore "} << "添加|已存在时跳过" << QStringList();
        QTest::newRow("客户档案 update excludes skip")
            << "客户档案" << QStringList{"restore ", "check 已存在时更新"} << "添加|已存在时更新"
            << QStringList();
        QTest::newRow("客户档案 both unchecked stays so")
            << "客户档案" << QStringList{"restore ", "uncheck 已存在时跳过"} << "添加"
            << QStringList();
        QTest::newRow("客户档案 修改 disables both")
            << "客户档案" << QStringList{"restore ", "choose 修改"} << "修改"
            << QStringList{"已存在时更新", "已存在时跳过"};
        QTest::newRow("客户档案 默认 after 修改")
            << "客户档案" << QStringList{"restore ", "choose 修改", "choose 默认"}
            << "默认|已存在时跳过" << QStringList();
        QTest::newRow("采购发票 first selection")
            << "采购发票" << QStringList{"restore "} << "添加|专用发票|自动生成发票号"
            << QStringList();
        QTest::newRow("采购发票 ordinary replaces special")
            << "采购发票" << QStringList{"restore ", "check 普通发票"}
            << "添加|普通发票|自动生成发票号" << QStringList();
        // Unchecking special at the choice checks ordinary, whose unchecking checks special.
        QTest::newRow("采购发票 删除 keeps one invoice type")
            << "采购发票" << QStringList{"restore ", "choose 删除"} << "删除|专用发票"
            << QStringList{"自动生成发票号"};
        QTest::newRow("采购发票 删除 from ordinary")
            << "采购发票" << QStringList{"restore ", "check 普通发票", "choose 删除"}
            << "删除|专用发票" << QStringList{"自动生成发票号"};
    }
    void sampleCascades() {
        QFETCH(QString, label);
        QFETCH(QStringList, script);
        QFETCH(QString, expected);
        QFETCH(QStringList, disabledBoxes);
        OperationRules rules;
        rules.showEntry(sampleEntry(label));
        StoredStrings stored(rules);
        run(rules, script);
        QCOMPARE(rules.operationString(), expected);
        QCOMPARE(stored.strings.last(), expected);
        QCOMPARE(disabled(rules), disabledBoxes);
        QCOMPARE(excludedByOperation(rules), disabledBoxes);
        QVERIFY(!rules.lastActionStopped());
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

        // Without an entry, choosing only stores, which clears the flag as well.
        OperationRules plain;
        StoredStrings plainStored(plain);
        plain.setApplyDefaults(true);
        plain.chooseOperation(1);
        QCOMPARE(plainStored.strings, QStringList(QStringLiteral("添加")));
        QVERIFY(!plain.applyDefaults());
    }

    void restoresOperationStrings_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("option 2 of 凭证") << "凭证"
                                          << "添加|允许借贷不平"
                                          << "添加|允许借贷不平";
        QTest::newRow("unchecked default stays unchecked") << "凭证"
                                                           << "添加|按编码匹配科目"
                                                           << "添加|按编码匹配科目";
        QTest::newRow("operation only") << "采购发票"
                                        << "删除"
                                        << "删除";
        QTest::newRow("empty selects the second with defaults") << "凭证"
                                                                << ""
                                                                << "添加|自动编号|按编码匹配科目";
        QTest::newRow("blank first part ignores the rest") << "客户档案"
                                                           << " |已存在时更新"
                                                           << "添加|已存在时跳过";
        QTest::newRow("first part trimmed") << "客户档案"
                                            << " 默认 |已存在时更新"
                                            << "默认|已存在时更新";
        QTest::newRow("excluded option stays off") << "凭证"
                                                   << "修改|自动编号"
                                                   << "修改|按编码匹配科目";
        QTest::newRow("unknown caption ignored") << "凭证"
                                                 << "添加||不存在|自动编号"
                                                 << "添加|自动编号";
        QTest::newRow("no entry, empty") << "部门档案"
                                         << ""
                                         << "添加";
        QTest::newRow("no entry, operation") << "部门档案"
                                             << "修改"
                                             << "修改";
    }
    void restoresOperationStrings() {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        OperationRules rules;
        rules.showEntry(sampleEntry(label));
        // Whatever was shown before: restoring starts from blank boxes.
        rules.restore(QStringLiteral("默认"));
        for (int number = 1; number <= rules.optionCount(); ++number)
            rules.setBoxChecked(number, true);
        StoredStrings stored(rules);
        rules.restore(text);
        QCOMPARE(rules.operationString(), expected);
        QCOMPARE(stored.strings.last(), expected);
        QCOMPARE(rules.currentOperation(), expected.section(QLatin1Char('|'), 0, 0));
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

    void rulesThatNeverComeToRestStop_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("required options that exclude each other")
            << QStringLiteral(
                   "<项目><操作><X><required>A</required><required>B</required></X></操作>"
                   "<选项><A><exclusive>B</exclusive></A><B><exclusive>A</exclusive></B>"
                   "</选项></项目>")
            << QStringList{"choose X"} << "X|B";
        QTest::newRow("excluded options that check each other")
            << QStringLiteral(
                   "<项目><操作><X/><Y><exclusive>A</exclusive><exclusive>B</exclusive></Y>"
                   "</操作><选项><A><nochecked>B</nochecked></A><B><nochecked>A</nochecked>"
                   "</B></选项></项目>")
            << QStringList{"choose X", "check A", "choose Y"} << "Y|A";
        QTest::newRow("the operator starts the cycle")
            << QStringLiteral(
                   "<项目><操作><X><required>A</required><required>B</required></X></操作>"
                   "<选项><A><exclusive>B</exclusive></A><B><exclusive>A</exclusive></B>"
                   "</选项></项目>")
            << QStringList{"choose X", "uncheck B"} << "X|B";
    }
    void rulesThatNeverComeToRestStop() {
        QFETCH(QString, xml);
        QFETCH(QStringList, script);
        QFETCH(QString, expected);
        OperationRules rules;
        rules.showEntry(entryFrom(xml));
        StoredStrings stored(rules);
        run(rules, script);
        QVERIFY(rules.lastActionStopped());
        QCOMPARE(rules.operationString(), expected);
        QCOMPARE(stored.strings.last(), expected);
        QCOMPARE(disabled(rules), excludedByOperation(rules));
        // The same action gives the same result again.
        OperationRules again;
        again.showEntry(entryFrom(xml));
        run(again, script);
        QCOMPARE(again.operationString(), expected);
    }

    void denseRuleSetsEndWithinTheLimit() {
        // Every option excludes and, when unchecked, checks every other; the operation
        // requires them all.
        QString options;
        QString required;
        const QStringList captions{"A", "B", "C", "D", "E"};
        for (const QString& caption : captions) {
            required += QStringLiteral("<required>%1</required>").arg(caption);
            QString rules;
            for (const QString& other : captions) {
                if (other != caption)
                    rules += QStringLiteral("<exclusive>%1</exclusive><nochecked>%1</nochecked>")
                                 .arg(other);
            }
            options += QStringLiteral("<%1>%2</%1>").arg(caption, rules);
        }
        OperationRules rules;
        rules.showEntry(
            entryFrom(QStringLiteral("<项目><操作><X>%1</X></操作><选项>%2</选项></项目>")
                          .arg(required, options)));
        StoredStrings stored(rules);
        rules.chooseOperation(0);
        bool stopped = rules.lastActionStopped();
        for (int number = 1; number <= 5; ++number) {
            rules.setBoxChecked(number, !rules.box(number).checked);
            stopped = stopped || rules.lastActionStopped();
        }
        QVERIFY(stopped);
        // Each action stores once per change and once at its end.
        QVERIFY(stored.strings.size() <= 6 * (OperationRules::kMaxChangesPerAction + 1));
        QCOMPARE(stored.strings.last(), rules.operationString());
    }

    void captionsNoBoxHasDoNothing() {
        OperationRules rules;
        rules.showEntry(entryFrom(QStringLiteral(
            "<项目><操作><X><required>无此项</required><exclusive>也没有</exclusive>"
            "<default>B</default><nochecked>A</nochecked><unknown>A</unknown></X></操作>"
            "<选项><A><nochecked>无</nochecked><exclusive/></A><B><required>A</required></B></"
            "选项></项目>")));
        StoredStrings stored(rules);
        run(rules,
            {QStringLiteral("choose X"), QStringLiteral("check A"), QStringLiteral("uncheck A")});
        // Rules of a kind an option or operation does not have are ignored as well.
        QCOMPARE(rules.operationString(), QStringLiteral("X|B"));
        QVERIFY(disabled(rules).isEmpty());
        QVERIFY(!rules.lastActionStopped());
    }

    void emptyOperationsContainer() {
        OperationRules rules;
        rules.showEntry(entryFrom(QStringLiteral("<项目><操作/><选项><A/><B/></选项></项目>")));
        StoredStrings stored(rules);
        QVERIFY(rules.operationNames().isEmpty());
        QCOMPARE(rules.optionCount(), 2);
        rules.restore(QString());
        QCOMPARE(rules.currentIndex(), -1);
        rules.chooseOperation(0);
        QCOMPARE(rules.currentIndex(), -1);
        QVERIFY(stored.strings.isEmpty());

        // A single operation: an empty string selects it.
        rules.showEntry(
            entryFrom(QStringLiteral("<项目><操作><唯一><default>A</default></唯一></操作>"
                                     "<选项><A/></选项></项目>")));
        rules.restore(QString());
        QCOMPARE(rules.operationString(), QStringLiteral("唯一|A"));
    }

    void onlyFiveOptionsAreUsed() {
        QString options;
        for (int i = 1; i <= 7; ++i)
            options += QStringLiteral("<O%1/>").arg(i);
        OperationRules rules;
        rules.showEntry(
            entryFrom(QStringLiteral("<项目><操作><X><required>O6</required><required>O5</"
                                     "required></X></操作><选项>%1</选项></项目>")
                          .arg(options)));
        QCOMPARE(rules.optionCount(), 5);
        for (int number = 1; number <= 5; ++number) {
            QCOMPARE(rules.box(number).caption, QStringLiteral("O%1").arg(number));
            QVERIFY(rules.box(number).visible);
        }
        rules.chooseOperation(0);
        QCOMPARE(rules.operationString(), QStringLiteral("X|O5"));
        rules.restore(QStringLiteral("X|O7|O1"));
        QCOMPARE(rules.operationString(), QStringLiteral("X|O1|O5"));
        // Box numbers outside 1..5 are nobody's.
        rules.setBoxChecked(6, true);
        rules.setBoxChecked(0, true);
        QCOMPARE(rules.box(6).caption, QString());
        QCOMPARE(rules.operationString(), QStringLiteral("X|O1|O5"));
    }

    void nocheckedSearchesBeforeThenAfter() {
        // Box 1 names box 3 of three.
        OperationRules rules;
        rules.showEntry(entryFrom(QStringLiteral(
            "<项目><操作><X/></操作><选项><A><nochecked>C</nochecked></A><B/><C/></选项></项目>")));
        run(rules,
            {QStringLiteral("choose X"), QStringLiteral("check A"), QStringLiteral("uncheck A")});
        QCOMPARE(rules.operationString(), QStringLiteral("X|C"));

        // Two boxes share a caption: boxes before k are searched first, k itself never.
        rules.showEntry(
            entryFrom(QStringLiteral("<项目><操作><X/></操作><选项><D><nochecked>D</nochecked></D>"
                                     "<E><nochecked>D</nochecked></E><D/></选项></项目>")));
        rules.chooseOperation(0);
        rules.setBoxChecked(2, true);
        rules.setBoxChecked(2, false);
        QVERIFY(rules.box(1).checked);
        QVERIFY(!rules.box(3).checked);
        rules.chooseOperation(0);
        rules.setBoxChecked(1, true);
        rules.setBoxChecked(1, false);
        QVERIFY(!rules.box(1).checked);
        QVERIFY(rules.box(3).checked);
    }

    void showEntryResetsWithoutStoring() {
        OperationRules rules;
        QCOMPARE(rules.operationNames().size(), 4);
        QCOMPARE(rules.optionCount(), 0);
        rules.showEntry(sampleEntry(QStringLiteral("凭证")));
        rules.restore(QString());
        StoredStrings stored(rules);
        rules.showEntry(sampleEntry(QStringLiteral("采购发票")));
        QVERIFY(stored.strings.isEmpty());
        QCOMPARE(rules.currentIndex(), -1);
        QCOMPARE(rules.optionCount(), 3);
        for (int number = 1; number <= OperationRules::kBoxCount; ++number) {
            QVERIFY(!rules.box(number).checked);
            QVERIFY(rules.box(number).enabled);
            QCOMPARE(rules.box(number).visible, number <= 3);
        }
        QCOMPARE(rules.box(4).caption, QString());
        rules.showDefaults();
        QCOMPARE(rules.optionCount(), 0);
        QVERIFY(!rules.box(1).visible);
        QVERIFY(stored.strings.isEmpty());
    }
};

KVX_TEST_MAIN_CORE(OperationRulesTest)
#include "tst_operation_rules.moc"
