#include "platform/app_folder.h"
#include "recording_prompter.h"
#include "settings/frm_path.h"
#include "settings/path_dlg.h"
#include "settings/path_settings.h"
#include "test_folder.h"
#include "test_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using namespace kvx;
using test::RecordingPrompter;
using test::TestFolder;

namespace {

QString withSeparator(const QString& folder) {
    return QDir::toNativeSeparators(folder) + QDir::separator();
}

// Runs `step` on the folder picker once it is shown modally.
void onPicker(const std::function<void(PathDlg*)>& step) {
    QTimer::singleShot(0, [step] {
        auto* picker = qobject_cast<PathDlg*>(QApplication::activeModalWidget());
        QVERIFY(picker);
        step(picker);
    });
}

} // namespace

class PathDialogsTest : public QObject {
    Q_OBJECT

    struct Fixture {
        TestFolder folder{TestFolder::Content::Empty};
        AppFolder app{folder.path()};
        RecordingPrompter prompter;
        PathSettings paths;
        Fixture() {
            QDir(folder.path()).mkpath("in");
            QDir(folder.path()).mkpath("out");
            paths.load(app);
        }
        QString sub(const QString& name) const { return folder.path() + "/" + name; }
    };

private Q_SLOTS:
    void showsTheSettings_data() {
        QTest::addColumn<QString>("wholeFolder");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("true") << "true" << true;
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("True") << "True" << true;
        QTest::newRow("false") << "false" << false;
    }
    void showsTheSettings() {
        QFETCH(QString, wholeFolder);
        QFETCH(bool, ticked);
        Fixture f;
        f.paths = {"/in/", "/out/", wholeFolder};
        FrmPath dialog(f.paths, f.app, f.prompter);
        QCOMPARE(dialog.windowTitle(), QString("设置导入导出目录"));
        QCOMPARE(dialog.findChild<QLineEdit*>("TxtInXml")->text(), QString("/in/"));
        QCOMPARE(dialog.findChild<QLineEdit*>("TxtOutXml")->text(), QString("/out/"));
        QCOMPARE(dialog.findChild<QCheckBox*>("CheckOutPath")->isChecked(), ticked);
        QCOMPARE(dialog.findChild<QCheckBox*>("CheckOutPath")->text(),
                 QString("是否导出指定目录下所有数据文件"));
    }

    void okRefusesBadFolders_data() {
        QTest::addColumn<QString>("importText");
        QTest::addColumn<QString>("exportText");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty import") << ""
                                      << "out"
                                      << "导入路径为空！";
        QTest::newRow("blank import") << "   "
                                      << "out"
                                      << "导入路径为空！";
        QTest::newRow("empty export") << "in"
                                      << "  "
                                      << "导出路径为空！";
        QTest::newRow("missing import") << "none"
                                        << "out"
                                        << "导入路径不存在！请修改！";
        QTest::newRow("missing export") << "in"
                                        << "none"
                                        << "导出路径不存在！请修改！";
        QTest::newRow("both missing: import first") << "none"
                                                    << "none2"
                                                    << "导入路径不存在！请修改！";
        QTest::newRow("double quote in import") << "in\"q"
                                                << "out"
                                                << "导入路径中不能含有双引号！请修改！";
        QTest::newRow("double quote in export") << "in"
                                                << "out\"q"
                                                << "导出路径中不能含有双引号！请修改！";
    }
    void okRefusesBadFolders() {
        QFETCH(QString, importText);
        QFETCH(QString, exportText);
        QFETCH(QString, message);
        Fixture f;
        QDir(f.folder.path()).mkpath("in\"q");
        QDir(f.folder.path()).mkpath("out\"q");
        const PathSettings before = f.paths;
        const QByteArray fileBefore = f.folder.read("xml.ini");
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto absolute = [&f](const QString& text) {
            return text.trimmed().isEmpty() ? text : f.sub(text);
        };
        dialog.findChild<QLineEdit*>("TxtInXml")->setText(absolute(importText));
        dialog.findChild<QLineEdit*>("TxtOutXml")->setText(absolute(exportText));
        dialog.findChild<QPushButton*>("cmdOk")->click();

        QCOMPARE(f.prompter.records().size(), 1);
        QCOMPARE(f.prompter.last().text, message);
        QCOMPARE(f.prompter.last().title, QString("设置导入导出目录"));
        QCOMPARE(f.prompter.last().icon, Prompter::Icon::Information);
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.paths.importPath, before.importPath);
        QCOMPARE(f.paths.exportPath, before.exportPath);
        QCOMPARE(f.folder.read("xml.ini"), fileBefore);
    }

    void okSavesTrimmedFolders() {
        Fixture f;
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        dialog.findChild<QLineEdit*>("TxtInXml")->setText("  " + f.sub("in") + "  ");
        dialog.findChild<QLineEdit*>("TxtOutXml")->setText(f.sub("out") + "/ ");
        dialog.findChild<QCheckBox*>("CheckOutPath")->setChecked(true);
        dialog.findChild<QPushButton*>("cmdOk")->click();

        QVERIFY(f.prompter.records().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.paths.importPath, f.sub("in"));
        QCOMPARE(f.paths.exportPath, f.sub("out") + "/");
        QCOMPARE(f.paths.exportWholeFolder, QString("true"));
        QCOMPARE(
            f.folder.read("xml.ini"),
            QString("\"%1\"\r\n\"%2/\"\r\n\"true\"\r\n").arg(f.sub("in"), f.sub("out")).toUtf8());
    }

    void cancelKeepsEverything() {
        Fixture f;
        const PathSettings before = f.paths;
        const QByteArray fileBefore = f.folder.read("xml.ini");
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        dialog.findChild<QLineEdit*>("TxtInXml")->setText(f.sub("in"));
        dialog.findChild<QCheckBox*>("CheckOutPath")->setChecked(true);
        dialog.findChild<QPushButton*>("CmdEsc")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(f.paths.importPath, before.importPath);
        QCOMPARE(f.paths.exportWholeFolder, QString("false"));
        QCOMPARE(f.folder.read("xml.ini"), fileBefore);
    }

    void browseFillsTheBoxWithFolderAndSeparator() {
        Fixture f;
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto* box = dialog.findChild<QLineEdit*>("TxtInXml");
        const QString chosen = f.sub("in");
        onPicker([chosen](PathDlg* picker) {
            QCOMPARE(picker->windowTitle(), QString("路径选择对话框"));
            picker->findChild<QLineEdit*>("TxtPath")->setText(QDir::toNativeSeparators(chosen));
            picker->findChild<QPushButton*>("cmdOk")->click();
        });
        dialog.findChild<QPushButton*>("Cmdin")->click();
        QCOMPARE(box->text(), withSeparator(chosen));

        // Cancelling the picker leaves the box alone.
        onPicker([](PathDlg* picker) { picker->findChild<QPushButton*>("CmdEsc")->click(); });
        dialog.findChild<QPushButton*>("Cmdin")->click();
        QCOMPARE(box->text(), withSeparator(chosen));
    }

    void enterInEmptyBoxOpensThePicker() {
        Fixture f;
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto* box = dialog.findChild<QLineEdit*>("TxtOutXml");
        box->clear();
        const QString chosen = f.sub("out");
        bool pickerShown = false;
        onPicker([&pickerShown, chosen](PathDlg* picker) {
            pickerShown = true;
            picker->findChild<QLineEdit*>("TxtPath")->setText(chosen + "/");
            picker->findChild<QPushButton*>("cmdOk")->click();
        });
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(pickerShown);
        QCOMPARE(box->text(), chosen + "/");
        QVERIFY(dialog.isVisible());

        // With a folder in the box, Enter only moves on.
        QTest::keyClick(box, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == &dialog);
        QVERIFY(dialog.isVisible());
        QVERIFY(f.prompter.records().isEmpty());
    }

    void pickerFollowsTheFolderTree() {
        Fixture f;
        PathDlg picker;
        auto* tree = picker.findChild<QTreeView*>("Dir1");
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        QVERIFY(model);
        onPicker([&](PathDlg* shown) {
            auto* text = shown->findChild<QLineEdit*>("TxtPath");
            // Opened at the folder asked for.
            QCOMPARE(text->text(), QDir::toNativeSeparators(f.sub("in")));
            tree->setCurrentIndex(model->index(f.sub("out")));
            QCOMPARE(text->text(), QDir::toNativeSeparators(f.sub("out")));
            shown->findChild<QPushButton*>("cmdOk")->click();
        });
        QCOMPARE(picker.openPath(nullptr, f.sub("in")), withSeparator(f.sub("out")));
        QCOMPARE(picker.chosenPath(), withSeparator(f.sub("out")));

        onPicker([](PathDlg* shown) { shown->reject(); });
        QCOMPARE(picker.openPath(nullptr, f.sub("in")), QString());
    }
};

KVX_TEST_MAIN(PathDialogsTest)
#include "tst_path_dialogs.moc"
