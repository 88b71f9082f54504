#include "tour.h"

#include "app/frm_main.h"
#include "screen_driver.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

namespace kvx::screenshots {

namespace {

// The sample catalogue's items that the tour exchanges; the demo folder gives each a default
// import file and export file.
const QStringList kItems = {QStringLiteral("客户档案"), QStringLiteral("凭证"),
                            QStringLiteral("销售发票")};

bool isReportWindow(QWidget* dialog) {
    return dialog->findChild<QWidget*>(QStringLiteral("txtDisplay")) != nullptr;
}

} // namespace

template <typename T> T* Tour::control(QWidget* window, const QString& name) {
    T* found = window ? window->findChild<T*>(name) : nullptr;
    if (!found)
        m_driver.fail(QStringLiteral("no control %1 in %2")
                          .arg(name, window ? window->objectName() : QStringLiteral("-")));
    return found;
}

void Tour::prepareLogin() {
    m_driver.whenModal(
        [](QWidget* dialog) { return dialog->findChild<QWidget*>(QStringLiteral("txtUser")); },
        [this](QWidget* dialog) {
            for (const auto& [name, text] :
                 {std::pair{"txtUser", "demo"}, {"txtPwd", "demo"}, {"txtSender", "001"}}) {
                if (auto* box = control<QLineEdit>(dialog, QString::fromLatin1(name)))
                    m_driver.type(box, QString::fromLatin1(text));
            }
            m_driver.picture(dialog, QStringLiteral("login"));
            if (auto* ok = control<QAbstractButton>(dialog, QStringLiteral("cmdOk")))
                QTimer::singleShot(0, ok, [this, ok] { m_driver.click(ok); });
        });
}

void Tour::visitFrame(FrmMain& frame) {
    // The frame with its menu 导入导出 open.
    auto* menu = frame.findChild<QMenu*>(QStringLiteral("mnuExchange"));
    if (menu) {
        QTest::mouseClick(frame.menuBar(), Qt::LeftButton, Qt::NoModifier,
                          frame.menuBar()->actionGeometry(menu->menuAction()).center());
        if (ScreenDriver::waitFor([menu] { return menu->isVisible(); }, 3000))
            m_driver.pictureOfScreen(&frame, QStringLiteral("frame"));
        else
            m_driver.fail(QStringLiteral("the menu mnuExchange does not open"));
        QTest::keyClick(menu, Qt::Key_Escape);
        ScreenDriver::waitFor([menu] { return !menu->isVisible(); }, 3000);
    } else {
        m_driver.fail(QStringLiteral("no menu mnuExchange"));
    }
    // 窗口 → 命令(&M): the command window, from which the tour opens every work window.
    if (auto* commands = frame.findChild<QAction*>(QStringLiteral("miCommands")))
        commands->trigger();
    else
        m_driver.fail(QStringLiteral("no menu item miCommands"));
    m_driver.picture(&frame, QStringLiteral("commands"));

    exchange(frame);
    conditions(frame);
    replaceSettings(frame);
    schedule(frame);
    mail(frame);
    runHistory(frame);
}

QWidget* Tour::runCommand(FrmMain& frame, const QString& command, const QString& windowName) {
    auto* list = control<QListWidget>(&frame, QStringLiteral("lstCommands"));
    const QList<QListWidgetItem*> found =
        list ? list->findItems(command, Qt::MatchExactly) : QList<QListWidgetItem*>{};
    if (found.isEmpty()) {
        m_driver.fail(QStringLiteral("no command ") + command);
        return nullptr;
    }
    m_driver.clickItem(list, list->indexFromItem(found.first()), true);
    QWidget* window = nullptr;
    ScreenDriver::waitFor([&] {
        window = frame.findChild<QWidget*>(windowName);
        return window && window->isVisible();
    });
    if (!window || !window->isVisible())
        m_driver.fail(QStringLiteral("command %1 shows no %2").arg(command, windowName));
    return window;
}

void Tour::picture(QWidget* workWindow, const QString& name) {
    auto* subWindow =
        workWindow ? qobject_cast<QMdiSubWindow*>(workWindow->parentWidget()) : nullptr;
    m_driver.picture(subWindow ? static_cast<QWidget*>(subWindow) : workWindow, name);
}

bool Tour::pickItem(QWidget* window, const QString& label, bool twice) {
    auto* tree = control<QTreeWidget>(window, QStringLiteral("Dir"));
    const QList<QTreeWidgetItem*> found =
        tree ? tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive)
             : QList<QTreeWidgetItem*>{};
    if (found.isEmpty()) {
        m_driver.fail(QStringLiteral("no catalogue item ") + label);
        return false;
    }
    m_driver.clickItem(tree, tree->indexFromItem(found.first()), twice);
    return true;
}

// An import of three items, pictured while the server works on it, its report and the window
// after it; then an export of the same items, whose files the mail window lists.
void Tour::exchange(FrmMain& frame) {
    QWidget* window = runCommand(frame, QStringLiteral("数据交换"), QStringLiteral("frmImport"));
    if (!window)
        return;
    if (auto* import = control<QAbstractButton>(window, QStringLiteral("OptIn")))
        m_driver.click(import);
    for (const QString& item : kItems)
        pickItem(window, item, true);
    runExchange(window, QStringLiteral("report"), QStringLiteral("exchange-running"));
    picture(window, QStringLiteral("exchange-done"));

    if (auto* exportMode = control<QAbstractButton>(window, QStringLiteral("OptOut")))
        m_driver.click(exportMode);
    runExchange(window, QString());
}

void Tour::runExchange(QWidget* window, const QString& reportPicture,
                       const QString& runningPicture) {
    auto* execute = control<QAbstractButton>(window, QStringLiteral("cmdExcute"));
    if (!execute)
        return;
    const auto reported = std::make_shared<bool>(false);
    m_driver.whenModal(isReportWindow, [this, reportPicture, reported](QWidget* report) {
        *reported = true;
        if (!reportPicture.isEmpty())
            m_driver.picture(report, reportPicture);
        if (auto* ok = control<QAbstractButton>(report, QStringLiteral("cmdOk")))
            QTimer::singleShot(0, ok, [this, ok] { m_driver.click(ok); });
    });
    // The server answers late (the demo is started so), so the run is seen under way.
    if (!runningPicture.isEmpty())
        QTimer::singleShot(2000, window,
                           [this, window, runningPicture] { picture(window, runningPicture); });
    m_driver.click(execute);
    if (!ScreenDriver::waitFor([&] { return *reported && execute->isEnabled(); }, 60000))
        m_driver.fail(QStringLiteral("the run in the exchange window did not end with a report"));
}

void Tour::conditions(FrmMain& frame) {
    QWidget* window =
        runCommand(frame, QStringLiteral("导入导出设置"), QStringLiteral("frmCondition"));
    if (window && pickItem(window, kItems.first(), false))
        picture(window, QStringLiteral("conditions"));
}

void Tour::replaceSettings(FrmMain& frame) {
    QWidget* window = runCommand(frame, QStringLiteral("替换设置"), QStringLiteral("FrmReplace"));
    auto* items = control<QComboBox>(window, QStringLiteral("CmbRep"));
    if (items && m_driver.choose(items, kItems.first()))
        picture(window, QStringLiteral("replace"));
}

void Tour::schedule(FrmMain& frame) {
    QWidget* window =
        runCommand(frame, QStringLiteral("数据交换计划设置"), QStringLiteral("frmSchedule"));
    auto* codes = control<QComboBox>(window, QStringLiteral("cmbCode"));
    if (codes && m_driver.choose(codes, QStringLiteral("001")))
        picture(window, QStringLiteral("schedule"));
}

void Tour::mail(FrmMain& frame) {
    if (QWidget* window = runCommand(frame, QStringLiteral("邮件传输"), QStringLiteral("FrmMail")))
        picture(window, QStringLiteral("mail"));
}

void Tour::runHistory(FrmMain& frame) {
    QWidget* window =
        runCommand(frame, QStringLiteral("运行记录"), QStringLiteral("frmRunHistory"));
    if (window && ScreenDriver::waitFor([window] {
            auto* grid = window->findChild<QAbstractItemView*>(QStringLiteral("grdRuns"));
            return grid && grid->model() && grid->model()->rowCount() > 0;
        }))
        picture(window, QStringLiteral("run-history"));
    else
        m_driver.fail(QStringLiteral("the run history shows no runs"));
}

} // namespace kvx::screenshots
