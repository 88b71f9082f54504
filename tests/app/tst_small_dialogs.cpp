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

// A display window shown with the numbered lines as its report; its text box has the focus.
struct ShownReport {
    explicit ShownReport(int count) {
        for (int i = 1; i <= count; ++i)
            lines.append(QStringLiteral("第%1行：导入、导出成功！").arg(i));
        window.setDisplayText(lines.join(QStringLiteral("\r\n")));
        window.show();
        text->setFocus();
    }

    QStringList lines;
    FrmDisplay window;
    QPlainTextEdit* text = window.findChild<QPlainTextEdit*>("txtDisplay");
};

} // namespace

class SmallDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayShowsAHundredThousandLines() {
        ShownReport d(100000);
        QCOMPARE(d.window.windowTitle(), QString("结果显示"));
        QVERIFY(QTest::qWaitForWindowExposed(&d.window));
        QVERIFY(d.text->isReadOnly());
        QCOMPARE(d.text->cursorForPosition(QPoint(0, 0)).block().text(), d.lines.first());
        // The rest comes in while the window waits, in the order of the text.
        QTRY_COMPARE(d.text->blockCount(), 100000);
        QCOMPARE(d.text->document()->findBlockByNumber(54321).text(), d.lines.at(54321));
        QCOMPARE(d.text->document()->lastBlock().text(), d.lines.last());
        // The whole text is reachable by scrolling.
        QScrollBar* bar = d.text->verticalScrollBar();
        QVERIFY(bar->maximum() > 90000);
        bar->setValue(bar->maximum());
        QVERIFY(d.text->cursorForPosition(QPoint(0, 0)).blockNumber() > 99000);

        QTest::mouseClick(d.window.findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
        QVERIFY(!d.window.isVisible());
    }

    // What the operator does at once, before the window has taken in the whole report, works on
    // the whole report: selecting and copying everything, going to the end.
    void operatorInputSeesTheWholeText() {
        ShownReport d(50000);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(d.text, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(d.text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), d.lines.join(QLatin1Char('\n')));

        ShownReport other(50000);
        QTest::keyClick(other.text, Qt::Key_End);
        const QPoint bottom(0, other.text->viewport()->height() - 2);
        QCOMPARE(other.text->cursorForPosition(bottom).block().text(), other.lines.last());
    }
};

KVX_TEST_MAIN(SmallDialogsTest)
#include "tst_small_dialogs.moc"
