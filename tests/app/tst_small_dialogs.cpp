#include "platform/frm_display.h"
#include "test_main.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

using namespace kvx;

namespace {

QStringList numberedLines(int count) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("第%1行：导入、导出成功！").arg(i));
    return lines;
}

} // namespace

class SmallDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayShowsAHundredThousandLines() {
        const QStringList lines = numberedLines(100000);
        FrmDisplay display;
        QCOMPARE(display.windowTitle(), QString("结果显示"));
        display.setDisplayText(lines.join(QStringLiteral("\r\n")));
        display.show();
        QVERIFY(QTest::qWaitForWindowExposed(&display));

        auto* text = display.findChild<QPlainTextEdit*>("txtDisplay");
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->cursorForPosition(QPoint(0, 0)).block().text(), lines.first());
        // The rest comes in while the window waits, in the order of the text.
        QTRY_COMPARE(text->blockCount(), 100000);
        QCOMPARE(text->document()->findBlockByNumber(54321).text(), lines.at(54321));
        QCOMPARE(text->document()->lastBlock().text(), lines.last());
        // The whole text is reachable by scrolling.
        QScrollBar* bar = text->verticalScrollBar();
        QVERIFY(bar->maximum() > 90000);
        bar->setValue(bar->maximum());
        QVERIFY(text->cursorForPosition(QPoint(0, 0)).blockNumber() > 99000);

        QTest::mouseClick(display.findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
        QVERIFY(!display.isVisible());
    }

    // What the operator does at once, before the window has taken in the whole report, works on
    // the whole report: selecting and copying everything, going to the end.
    void operatorInputSeesTheWholeText() {
        const QStringList lines = numberedLines(50000);
        FrmDisplay display;
        display.setDisplayText(lines.join(QStringLiteral("\r\n")));
        display.show();
        auto* text = display.findChild<QPlainTextEdit*>("txtDisplay");
        text->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')));

        FrmDisplay other;
        other.setDisplayText(lines.join(QStringLiteral("\r\n")));
        other.show();
        auto* otherText = other.findChild<QPlainTextEdit*>("txtDisplay");
        otherText->setFocus();
        QTest::keyClick(otherText, Qt::Key_End);
        const QPoint bottom(0, otherText->viewport()->height() - 2);
        QCOMPARE(otherText->cursorForPosition(bottom).block().text(), lines.last());
    }
};

KVX_TEST_MAIN(SmallDialogsTest)
#include "tst_small_dialogs.moc"
