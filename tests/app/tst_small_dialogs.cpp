#include "app/frm_about.h"
#include "app/frm_display.h"
#include "recording_prompter.h"
#include "test_main.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

using namespace kvx;
using test::RecordingPrompter;

class SmallDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aboutBox() {
        RecordingPrompter prompter;
        FrmAbout about(prompter);
        about.show();
        QCOMPARE(about.windowTitle(), QString("关于KVX管理系统"));
        QVERIFY(about.findChild<QLabel*>("lblTitle")->text().startsWith("KVX管理系统"));
        QCOMPARE(about.findChild<QLabel*>("lblDescription")->text(),
                 QString("For Windows 98/NT/2000/XP/2003"));
        QCOMPARE(about.findChild<QLabel*>("Label3")->text(), QString("SQL Server 2000/MSDE 2000"));
        for (const char* name : {"picIcon", "Label1", "Label2"})
            QVERIFY2(about.findChild<QLabel*>(name), name);
        QCOMPARE(about.findChild<QLabel*>("lblDisclaimer")->text().count('\n'), 1);
        QCOMPARE(about.findChild<QPushButton*>("cmdSysInfo")->text(), QString("系统信息..."));

        about.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(prompter.records().size(), 1);
        QCOMPARE(prompter.last().text, QString("System Information Is Unavailable At This Time"));
        QCOMPARE(prompter.last().icon, Prompter::Icon::None);
        QCOMPARE(prompter.last().buttons, Prompter::Buttons::Ok);
        QVERIFY(about.isVisible());

        about.findChild<QPushButton*>("cmdOk")->click();
        QVERIFY(!about.isVisible());
    }

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
