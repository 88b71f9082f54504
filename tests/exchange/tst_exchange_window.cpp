// Mouse input goes through the window system, as a person's does, so that a right click opens
// the selection list's menu.
#define QTEST_QPA_MOUSE_HANDLING

#include "catalogue/catalogue_tree.h"
#include "exchange/frm_import.h"
#include "find_control.h"
#include "login/login_context.h"
#include "operator_input.h"
#include "platform/shared_texts.h"
#include "run_fixture.h"
#include "runs/attachment_queue.h"
#include "runs/exchange_run.h"
#include "runs/run_progress_frame.h"
#include "test_main.h"
#include "tests/server/server_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace kvx;
using namespace kvx::test;

namespace {

// The window on a sample application folder logged in to the server as demo, sender 001.
struct Window {
    explicit Window(const QString& serverUrl)
        : run(serverUrl) {
        login.senderCode = QStringLiteral("001");
        login.persistent = run.login;
        frm = std::make_unique<FrmImport>(run.services.services, login, attachments);
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
    }

    template <typename T> T* find(const QString& name) const {
        return findControl<T>(frm.get(), name);
    }
    QPushButton* button(const QString& name) const { return find<QPushButton>(name); }
    CatalogueTree* tree() const { return find<CatalogueTree>("Dir"); }
    QListWidget* list() const { return find<QListWidget>("lstSelected"); }
    QComboBox* operations() const { return find<QComboBox>("cmbOperate"); }

    // As a person does it: the node clicked, then ">".
    void moveIn(const QString& label) const {
        QVERIFY(clickNode(tree(), tree()->findNode(label)));
        click("cmdMoveIn");
    }
    void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    // A double click on an entry of the list or the tree.
    static void doubleClick(QAbstractItemView* view, const QRect& entry) {
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    }
    QStringList listed() const {
        QStringList labels;
        for (int i = 0; i < list()->count(); ++i)
            labels.append(list()->item(i)->text());
        return labels;
    }
    QString selected() const {
        return list()->currentItem() ? list()->currentItem()->text() : QString();
    }
    void chooseImport() const { check("OptIn", "外部XML文件数据导入M6"); }
    void chooseExport() const { check("OptOut", "M6数据导出XML文件"); }
    // Clicks the option or check box, which must show the caption.
    void check(const QString& name, const QString& caption) const {
        auto* box = find<QAbstractButton>(name);
        QCOMPARE(box->text(), caption);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    // Starts the run with the execute button and waits for its end.
    void execute() const {
        click("cmdExcute");
        QTRY_VERIFY_WITH_TIMEOUT(!frm->run(), 30000);
    }
    void setCode(const QString& code) const { test::retype(find<QComboBox>("cmbCode"), code); }
    void clickRow(int row) const {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                          list()->visualItemRect(list()->item(row)).center());
    }
    // A right click on the list, and a click on the menu's entry once it is shown.
    void chooseFromListMenu(const QString& caption) const {
        QTimer::singleShot(0, [caption] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions()) {
                if (action->text() == caption)
                    QTest::mouseClick(menu, Qt::LeftButton, {},
                                      menu->actionGeometry(action).center());
            }
        });
        QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    }

    RunFixture run;
    LoginContext login;
    AttachmentQueue attachments;
    std::unique_ptr<FrmImport> frm;
};

// Log lines of the server for the import page: "roottag proc records outcome".
QStringList imports(const ServerFixture& server) {
    QStringList lines;
    for (const QString& line : server.log()) {
        QStringList kept;
        for (const QString& part : line.split(' ')) {
            if (part.startsWith("roottag=") || part.startsWith("proc=") ||
                part.startsWith("records=") || part.startsWith("outcome="))
                kept.append(part.section('=', 1));
        }
        lines.append(kept.join(' '));
    }
    return lines;
}

} // namespace

class ExchangeWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The share of a large document sent, with the time left at the pace so far, then the
    // server's working time; a small one shows the time waited only.
    void requestProgressShown_data() {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("sent");
        QTest::addColumn<qint64>("waitedMs");
        QTest::addColumn<qint64>("sentAtMs"); // -1: still sending
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("share"); // -1: the indicator just moves
        const qint64 mb = 1024 * 1024;
        QTest::newRow("1 MB: waiting only")
            << mb << mb << qint64(3500) << qint64(10) << "已等待 3 秒" << -1;
        QTest::newRow("too early for an estimate")
            << 50 * mb << 5 * mb << qint64(300) << qint64(-1) << "已发送 10%" << 10;
        QTest::newRow("a quarter in a second")
            << 4 * mb << mb << qint64(1000) << qint64(-1) << "已发送 25%，约剩 3 秒" << 25;
        QTest::newRow("slow: over a minute left")
            << 100 * mb << mb << qint64(1000) << qint64(-1) << "已发送 1%，约剩 1 分 39 秒" << 1;
        QTest::newRow("sent, the server at work")
            << 50 * mb << 50 * mb << qint64(65500) << qint64(2000)
            << "已发送，服务器已处理 1 分 03 秒" << -1;
    }
    void requestProgressShown() {
        QFETCH(qint64, total);
        QFETCH(qint64, sent);
        QFETCH(qint64, waitedMs);
        QFETCH(qint64, sentAtMs);
        RunProgressFrame frame;
        frame.runStarted();
        frame.showWaiting(RequestProgress::of(HttpProgress{waitedMs, sent, total, sentAtMs}));
        QTEST(frame.waitingText(), "text");
        QTEST(frame.shownShare(), "share");
        QVERIFY(frame.isBusy());
    }

    void moveInAndOut() {
        Window w(QStringLiteral("http://127.0.0.1:1/"));
        // The login's sender code is the box's only entry; idle in export mode.
        QCOMPARE(w.frm->windowTitle(), QStringLiteral("导入导出"));
        QCOMPARE(w.find<QComboBox>("cmbCode")->count(), 1);
        QCOMPARE(w.find<QComboBox>("cmbCode")->currentText(), QStringLiteral("001"));
        QVERIFY(w.find<QRadioButton>("OptOut")->isChecked());
        QVERIFY(!w.button("cmdCancel")->isVisible() && !w.operations()->isVisible());
        QVERIFY(!w.find<QWidget>("frmWaiting")->isVisible());
        w.moveIn("部门档案");
        QCOMPARE(w.listed(), QStringList{"部门档案"});
        QCOMPARE(w.selected(), QStringLiteral("部门档案"));
        QCOMPARE(w.tree()->selectedLabel(), QStringLiteral("职员档案"));
        w.button("cmdMoveIn")->click();
        w.moveIn("客户档案");
        // Already listed: only the tree selection moves.
        w.moveIn("部门档案");
        QCOMPARE(w.listed(), QStringList({"部门档案", "职员档案", "客户档案"}));
        QCOMPARE(w.tree()->selectedLabel(), QStringLiteral("职员档案"));
        // A group is no exchange item.
        w.moveIn("基础档案");
        QCOMPARE(w.listed().size(), 3);
        QCOMPARE(w.tree()->selectedLabel(), QStringLiteral("基础档案"));

        // Removing the last entry selects the first; removing another selects its successor.
        w.clickRow(2);
        w.button("cmdMoveOut")->click();
        QCOMPARE(w.listed(), QStringList({"部门档案", "职员档案"}));
        QCOMPARE(w.selected(), QStringLiteral("部门档案"));
        w.button("cmdMoveOut")->click();
        QCOMPARE(w.listed(), QStringList{"职员档案"});
        QCOMPARE(w.selected(), QStringLiteral("职员档案"));
        Window::doubleClick(w.list(), w.list()->visualItemRect(w.list()->item(0)));
        QVERIFY(w.listed().isEmpty());
        QVERIFY(w.frm->selection().isEmpty());

        // A double-click adds without moving the tree selection; the root is never added.
        QTreeWidgetItem* root = w.tree()->topLevelItem(0);
        Window::doubleClick(w.tree(), w.tree()->visualItemRect(root));
        QVERIFY(w.listed().isEmpty());
        QTreeWidgetItem* voucher = w.tree()->findNode("凭证");
        w.tree()->scrollToItem(voucher);
        Window::doubleClick(w.tree(), w.tree()->visualItemRect(voucher));
        QCOMPARE(w.listed(), QStringList{"凭证"});
        QCOMPARE(w.tree()->selectedLabel(), QStringLiteral("凭证"));
    }

    void operationStringsFollowTheModes() {
        Window w(QStringLiteral("http://127.0.0.1:1/"));
        w.chooseImport();
        QVERIFY(w.run.prompter().records().isEmpty());
        QVERIFY(w.operations()->isVisible());
        QVERIFY(!w.find<QCheckBox>("chkMail")->isVisible());
        // The first item moved in is selected, which stores its entry's second operation.
        w.moveIn("客户档案");
        QCOMPARE(w.frm->selection().operationString("客户档案"),
                 QStringLiteral("添加|已存在时跳过"));
        QCOMPARE(w.find<QCheckBox>("Check2")->text(), QStringLiteral("已存在时跳过"));
        QVERIFY(w.find<QCheckBox>("Check2")->isChecked());
        w.moveIn("部门档案");
        QCOMPARE(w.frm->selection().operationString("部门档案"), QString());
        w.clickRow(1);
        QCOMPARE(w.frm->selection().operationString("部门档案"), QStringLiteral("添加"));
        QVERIFY(!w.find<QCheckBox>("Check1")->isVisible());
        QVERIFY(test::chooseEntry(w.operations(), "修改"));
        QCOMPARE(w.frm->selection().operationString("部门档案"), QStringLiteral("修改"));
        w.clickRow(0);
        w.find<QCheckBox>("Check1")->click(); // 已存在时更新 excludes 已存在时跳过
        QCOMPARE(w.frm->selection().operationString("客户档案"),
                 QStringLiteral("添加|已存在时更新"));

        w.chooseExport();
        QVERIFY(!w.operations()->isVisible());
        QVERIFY(!w.find<QLabel>("Label4")->isVisible());
        QVERIFY(!w.find<QCheckBox>("Check1")->isVisible());
        QVERIFY(w.find<QCheckBox>("chkMail")->isVisible());
        w.clickRow(1); // list clicks change nothing in export mode
        w.chooseImport();
        QCOMPARE(w.operations()->currentText(), QStringLiteral("修改"));
        QCOMPARE(w.frm->selection().operationString("客户档案"),
                 QStringLiteral("添加|已存在时更新"));
        QCOMPARE(w.frm->selection().operationString("部门档案"), QStringLiteral("修改"));
        w.clickRow(0);
        QVERIFY(w.find<QCheckBox>("Check1")->isChecked());
        QVERIFY(!w.find<QCheckBox>("Check2")->isChecked());
        // Removing an entry drops its operation string; moving it in again starts afresh.
        w.button("cmdMoveOut")->click();
        w.moveIn("客户档案");
        QCOMPARE(w.frm->selection().operationString("客户档案"), QString());
    }

    void missingOperationsFile() {
        Window w(QStringLiteral("http://127.0.0.1:1/"));
        QVERIFY(QFile::remove(w.run.folder.filePath("xml/operation/ImOperation.xml")));
        w.moveIn("客户档案");
        w.chooseImport();
        QCOMPARE(w.run.prompter().texts(),
                 QStringList{AppFolder::toNative(w.run.folder.path()) +
                             "/xml/operation/ImOperation.xml文件不存在！"});
        QCOMPARE(w.run.prompter().last().icon, Prompter::Icon::Warning);
        // The default operations are offered; a later switch tries again.
        QCOMPARE(w.operations()->count(), 4);
        w.chooseExport();
        w.chooseImport();
        QCOMPARE(w.run.prompter().records().size(), 2);
    }

    void executeAndSettingsNeedASenderCode() {
        ServerFixture server;
        Window w(server.baseUrl());
        QStringList opened;
        w.frm->setConditionEditorOpener([&](const QString& code) { opened.append(code); });
        w.moveIn("部门档案");
        w.setCode(" 002 ");
        w.button("cmdSetting")->click();
        QVERIFY(w.run.prompter().records().isEmpty());
        w.setCode(QString());
        w.button("cmdExcute")->click();
        w.button("cmdSetting")->click();
        // The editor opens either way, for the trimmed code or none.
        QCOMPARE(opened, QStringList({"002", ""}));
        QCOMPARE(w.run.prompter().texts(), QStringList({"请输入注册编码", "请输入注册编码"}));
        QCOMPARE(w.run.prompter().last().title, QStringLiteral("提示"));
        QVERIFY(server.log().isEmpty());
        QVERIFY(w.button("cmdExcute")->isEnabled());
        QVERIFY(w.button("cmdQuit")->isVisible());
    }

    // The mail box and the window's attachment queue reach the export run.
    void exportForMailQueuesInTheWindowsQueue() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        Window w(server.baseUrl());
        const QString out = w.run.folder.filePath("out/department.xml");
        w.run.setConditionAttribute("department", "部门档案", "001", "exportfile", out);
        w.moveIn("部门档案");
        w.check("chkMail", "邮件发送导出");
        w.check("chkTransfer", "根据数据映射转换");
        w.execute();
        QCOMPARE(w.run.prompter().texts(), QStringList{"未连接邮件组件，导出的文件尚未发送！"});
        QCOMPARE(w.attachments.paths(), QStringList{out});
        QVERIFY(server.log().first().contains("roottag=department"));
    }

    // The operator cancels while the server has been working on the second item for a second.
    void cancelDuringTheSecondOfThree() {
        HttpSettings settings;
        settings.delayMs = 1200;
        ServerFixture server(settings);
        Window w(server.baseUrl());
        const QStringList labels = {"客户档案", "部门档案", "职员档案"};
        const QStringList names = {"customer", "department", "person"};
        for (int i = 0; i < 3; ++i) {
            w.run.setConditionAttribute(names[i], labels[i], i == 0 ? "001" : "", "importfile",
                                        w.run.sampleData(names[i]));
            w.moveIn(labels[i]);
        }
        w.chooseImport();
        w.run.prompter().queueAnswer(Prompter::Answer::Ok);
        // What the operator sees while the second request is under way, and the click: looked
        // at every few milliseconds while the test waits, also inside the run.
        QStringList seen;
        QTimer operatorAtWork;
        operatorAtWork.callOnTimeout([&] {
            auto* frame = w.find<RunProgressFrame>("frmWaiting");
            if (!seen.isEmpty() || frame->message() != QStringLiteral("正在导入部门档案.....") ||
                frame->waitingText() != QStringLiteral("已等待 1 秒"))
                return;
            seen = {frame->countText(),
                    frame->isVisible() ? "shown" : "hidden",
                    frame->isBusy() ? "busy" : "still",
                    w.button("cmdCancel")->isVisible() ? "cancel" : "",
                    w.button("cmdQuit")->isVisible() ? "quit" : "",
                    w.button("cmdExcute")->isEnabled() ? "execute" : "",
                    w.find<QWidget>("frmSelector")->isEnabled() ? "selector" : ""};
            w.click("cmdCancel");
        });
        operatorAtWork.start(10);
        w.execute();

        QCOMPARE(seen, QStringList({"第 2 项，共 3 项", "shown", "busy", "cancel", "", "", ""}));
        QCOMPARE(w.run.prompter().texts(), QStringList{"导入导出正在进行，确实想要结束？"});
        QCOMPARE(w.run.prompter().last().buttons, Prompter::Buttons::OkCancel);
        // Only the entry selected when import mode was chosen has an operation string.
        QCOMPARE(imports(server), QStringList({"customer Add 5 200", "department add 5 200"}));
        // Idle again.
        QVERIFY(!w.button("cmdCancel")->isVisible());
        QVERIFY(w.button("cmdQuit")->isVisible());
        QVERIFY(w.button("cmdExcute")->isEnabled());
        QVERIFY(w.find<QWidget>("frmSelector")->isEnabled());
    }

    // While a run waits for its answer, another window's run is refused. Closing the window
    // asks whether to end the run; the run drops its request, and the window goes once the run
    // has finished.
    void secondRunRefusedAndClosingWaitsForTheRun() {
        HttpSettings settings;
        settings.delayMs = 400;
        ServerFixture server(settings);
        Window w(server.baseUrl());
        Window other(server.baseUrl());
        w.run.nameFiles("importfile");
        w.chooseImport();
        w.moveIn("客户档案");
        w.moveIn("部门档案");
        w.click("cmdExcute");
        ExchangeRun* run = w.frm->run();
        QVERIFY(run && ExchangeRun::underway() == run);
        QTRY_VERIFY(!w.find<RunProgressFrame>("frmWaiting")->waitingText().isEmpty());
        other.click("cmdExcute");
        QCOMPARE(other.run.prompter().texts(), QStringList{SharedText::otherRunUnderway()});
        QVERIFY(!other.frm->run());

        bool visibleAtTheEnd = false;
        QObject::connect(run, &ExchangeRun::finished,
                         [&] { visibleAtTheEnd = w.frm->isVisible(); });
        w.run.prompter().queueAnswer(Prompter::Answer::Ok);
        QVERIFY(!w.frm->close());
        QCOMPARE(w.run.prompter().texts(), QStringList{SharedText::cancelRunQuestion()});
        QVERIFY(run->isCancelled() && w.frm->isVisible());
        QTRY_VERIFY(!w.frm->isVisible());
        QVERIFY(visibleAtTheEnd);
        QCOMPARE(imports(server), QStringList{"customer Add 5 200"});
    }
    // The listed import items are checked in list order, each file found as the import would
    // find it: the condition item's file, else the operator's choice; nothing is sent.
    void checksTheListedImportItems() {
        Window w(QStringLiteral("http://127.0.0.1:9/"));
        auto* entry = w.frm->findChild<QAction*>("miCheckImport");
        QVERIFY(entry);
        QVERIFY(!entry->isVisible()); // export mode
        w.chooseImport();
        QVERIFY(entry->isVisible() && !entry->isEnabled()); // nothing listed
        w.run.setConditionAttribute("voucher", "凭证", "001", "importfile",
                                    w.run.writeFile("in/v.xml",
                                                    "<ztinterface roottag='voucher'><voucher>"
                                                    "<code>V1</code><header><date>2026-13-01"
                                                    "</date></header></voucher></ztinterface>"));
        for (const QString label : {"客户档案", "凭证", "部门档案"})
            w.moveIn(label);
        QVERIFY(entry->isEnabled());
        const QString customers = w.run.sampleData("customer");
        w.run.prompter().queuePath(customers);
        w.run.prompter().queuePath({}); // no file for 部门档案

        w.chooseFromListMenu("检查导入文件(&K)");
        QTRY_COMPARE(w.run.prompter().displayed().size(), 1);
        const QString native = QDir::toNativeSeparators(w.run.folder.filePath("in/v.xml"));
        QCOMPARE(
            w.run.prompter().displayed().first(),
            "导入文件检查\r\n\r\n"
            "客户档案：" +
                QDir::toNativeSeparators(customers) +
                "\r\n"
                "检查了 5 条记录，未发现问题。\r\n\r\n\r\n"
                "凭证：" +
                native +
                "\r\n"
                "第 1 条记录【关键字=V1】字段header/date的值“2026-13-01”不是日期（yyyy-mm-dd）\r\n"
                "检查了 1 条记录，发现 1 处问题。\r\n\r\n\r\n"
                "部门档案：没有默认文件，也未选择文件，未检查。\r\n\r\n");
        QCOMPARE(w.run.prompter().records().at(0).title, "选择导入文件：客户档案");
        QVERIFY(entry->isEnabled());
    }
};

KVX_TEST_MAIN(ExchangeWindowTest)
#include "tst_exchange_window.moc"
