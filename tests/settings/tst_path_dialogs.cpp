#include "operator_input.h"
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

// Runs `step` on the folder picker if it is shown modally meanwhile.
void onPicker(const std::function<void(PathDlg*)>& step) {
    QTimer::singleShot(0, [step] {
        if (auto* picker = qobject_cast<PathDlg*>(QApplication::activeModalWidget()))
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
    void okRefusesBadFolders_data() {
        QTest::addColumn<QString>("importText");
        QTest::addColumn<QString>("exportText");
        QTest::addColumn<QString>("message");
        const char* rows[][4] = {
            {"empty import", "", "out", "导入路径为空！"},
            {"blank export", "in", "  ", "导出路径为空！"},
            {"missing import", "none", "out", "导入路径不存在！请修改！"},
            {"missing export", "in", "none", "导出路径不存在！请修改！"},
            {"double quote in import", "in\"q", "out", "导入路径中不能含有双引号！请修改！"},
            {"double quote in export", "in", "out\"q", "导出路径中不能含有双引号！请修改！"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
    }
    void okRefusesBadFolders() {
        QFETCH(QString, importText);
        QFETCH(QString, exportText);
        Fixture f;
        QDir(f.folder.path()).mkpath("in\"q");
        QDir(f.folder.path()).mkpath("out\"q");
        const QByteArray fileBefore = f.folder.read("xml.ini");
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto absolute = [&f](const QString& text) {
            return text.trimmed().isEmpty() ? text : f.sub(text);
        };
        test::retype(dialog.findChild<QLineEdit*>("TxtInXml"), absolute(importText));
        test::retype(dialog.findChild<QLineEdit*>("TxtOutXml"), absolute(exportText));
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdOk"), Qt::LeftButton);

        QCOMPARE(f.prompter.records().size(), 1);
        QTEST(f.prompter.last().text, "message");
        QCOMPARE(f.prompter.last().title, QString("设置导入导出目录"));
        QCOMPARE(f.prompter.last().icon, Prompter::Icon::Information);
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.paths.importPath, PathSettings::defaults(f.app).importPath);
        QCOMPARE(f.paths.exportPath, PathSettings::defaults(f.app).exportPath);
        QCOMPARE(f.folder.read("xml.ini"), fileBefore);
    }

    void showsAndSavesTrimmedFolders() {
        Fixture f;
        f.paths = {"/in/", "/out/", "True"};
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto* importBox = dialog.findChild<QLineEdit*>("TxtInXml");
        auto* exportBox = dialog.findChild<QLineEdit*>("TxtOutXml");
        QCOMPARE(importBox->text(), QString("/in/"));
        QCOMPARE(exportBox->text(), QString("/out/"));
        QVERIFY(dialog.findChild<QCheckBox*>("CheckOutPath")->isChecked());

        test::retype(importBox, "  " + f.sub("in") + "  ");
        test::retype(exportBox, f.sub("out") + "/ ");
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
        QVERIFY(f.prompter.records().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.paths.importPath, f.sub("in"));
        QCOMPARE(f.paths.exportPath, f.sub("out") + "/");
        QCOMPARE(f.paths.exportWholeFolder, QString("true"));
        QCOMPARE(
            f.folder.read("xml.ini"),
            QString("\"%1\"\r\n\"%2/\"\r\n\"true\"\r\n").arg(f.sub("in"), f.sub("out")).toUtf8());
    }

    void cancelKeepsEverything() {
        Fixture f;
        const QByteArray fileBefore = f.folder.read("xml.ini");
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        test::retype(dialog.findChild<QLineEdit*>("TxtInXml"), f.sub("in"));
        auto* wholeFolder = dialog.findChild<QCheckBox*>("CheckOutPath");
        // On its box, at the left: the layout stretches the control beyond its caption.
        QTest::mouseClick(wholeFolder, Qt::LeftButton, {},
                          QPoint(wholeFolder->height() / 2, wholeFolder->height() / 2));
        QVERIFY(wholeFolder->isChecked());
        QTest::mouseClick(dialog.findChild<QPushButton*>("CmdEsc"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(f.paths.importPath, PathSettings::defaults(f.app).importPath);
        QCOMPARE(f.paths.exportWholeFolder, QString("false"));
        QCOMPARE(f.folder.read("xml.ini"), fileBefore);
    }

    void pickerFillsTheBoxes() {
        Fixture f;
        FrmPath dialog(f.paths, f.app, f.prompter);
        dialog.show();
        auto* importBox = dialog.findChild<QLineEdit*>("TxtInXml");
        auto* exportBox = dialog.findChild<QLineEdit*>("TxtOutXml");
        test::retype(importBox, f.sub("in"));
        bool opened = false;
        onPicker([&](PathDlg* picker) {
            opened = true;
            QCOMPARE(picker->windowTitle(), QString("路径选择对话框"));
            // Opened at the box's folder; the folder tree decides the path.
            auto* text = picker->findChild<QLineEdit*>("TxtPath");
            QCOMPARE(text->text(), QDir::toNativeSeparators(f.sub("in")));
            auto* tree = picker->findChild<QTreeView*>("Dir1");
            tree->setCurrentIndex(
                qobject_cast<QFileSystemModel*>(tree->model())->index(f.sub("out")));
            QCOMPARE(text->text(), QDir::toNativeSeparators(f.sub("out")));
            QTest::mouseClick(picker->findChild<QPushButton*>("cmdOk"), Qt::LeftButton);
        });
        QTest::mouseClick(dialog.findChild<QPushButton*>("Cmdin"), Qt::LeftButton);
        QVERIFY(opened);
        QCOMPARE(importBox->text(), withSeparator(f.sub("out")));

        // Enter in an empty box opens the picker; cancelling it leaves the box alone.
        exportBox->clear();
        opened = false;
        onPicker([&opened](PathDlg* picker) {
            opened = true;
            QTest::mouseClick(picker->findChild<QPushButton*>("CmdEsc"), Qt::LeftButton);
        });
        QTest::keyClick(exportBox, Qt::Key_Return);
        QVERIFY(opened);
        QCOMPARE(exportBox->text(), QString());

        QVERIFY(dialog.isVisible());
        QVERIFY(f.prompter.records().isEmpty());
    }
};

KVX_TEST_MAIN(PathDialogsTest)
#include "tst_path_dialogs.moc"
