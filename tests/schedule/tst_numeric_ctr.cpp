#include "schedule/numeric_ctr_rules.h"
#include "test_main.h"

using namespace kvx;

class NumericCtrTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row: bounds, then texts typed one after another, and what the box shows after each.
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

KVX_TEST_MAIN_CORE(NumericCtrTest)
#include "tst_numeric_ctr.moc"
