#include "platform/frm_display.h"
#include "test_main.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

using namespace kvx;

class SmallDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayShowsAHundredThousandLines() {
        QStringList lines;
        lines.reserve(100000);
        for (int i = 1; i <= 100000; ++i)
            lines.append(QStringLiteral("第%1行：导入、导出成功！").arg(i));
        FrmDisplay display;
        QCOMPARE(display.windowTitle(), QString("结果显示"));
        display.setDisplayText(lines.join('\n'));
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));

        auto* text = display.findChild<QPlainTextEdit*>("txtDisplay");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->blockCount(), 100000);
        QCOMPARE(text->document()->lastBlock().text(), lines.last());
        // The whole text is reachable by scrolling.
        QScrollBar* bar = text->verticalScrollBar();
        QVERIFY(bar->maximum() > 90000);
        bar->setValue(bar->maximum());
        QVERIFY(text->cursorForPosition(QPoint(0, 0)).blockNumber() > 99000);

        display.findChild<QPushButton*>("cmdOk")->click();
        QVERIFY(!display.isVisible());
    }
};

KVX_TEST_MAIN(SmallDialogsTest)
#include "tst_small_dialogs.moc"
