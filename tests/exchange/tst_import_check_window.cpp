// Mouse input goes through the window system, as a person's does, so that a right click opens
// the selection list's menu.
#define QTEST_QPA_MOUSE_HANDLING

#include "catalogue/catalogue_tree.h"
#include "exchange/frm_import.h"
#include "find_control.h"
#include "login/login_context.h"
#include "run_fixture.h"
#include "runs/attachment_queue.h"
#include "test_main.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace kvx;
using namespace kvx::test;

namespace {

struct Window {
    Window()
        : run(QStringLiteral("http://127.0.0.1:9/")) {
        login.senderCode = QStringLiteral("001");
        login.persistent = run.login;
        frm = std::make_unique<FrmImport>(run.services.services, login, attachments);
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
    }
    template <typename T> T* find(const QString& name) const {
        return findControl<T>(frm.get(), name);
    }
    QListWidget* list() const { return find<QListWidget>("lstSelected"); }
    void click(const QString& name) const {
        QWidget* control = find<QWidget>(name);
        QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(8, control->height() / 2));
    }
    void moveIn(const QString& label) const {
        auto* tree = find<CatalogueTree>("Dir");
        QTreeWidgetItem* node = tree->findNode(label);
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(node).center());
        click("cmdMoveIn");
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

} // namespace

class ImportCheckWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The listed import items are checked in list order, each file found as the import would
    // find it: the condition item's file, else the operator's choice; nothing is sent.
    void checksTheListedImportItems() {
        Window w;
        auto* entry = w.frm->findChild<QAction*>("miCheckImport");
        QVERIFY(entry);
        QVERIFY(!entry->isVisible()); // export mode
        w.click("OptIn");
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

KVX_TEST_MAIN(ImportCheckWindowTest)
#include "tst_import_check_window.moc"
