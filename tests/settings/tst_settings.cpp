#include "operator_input.h"
#include "platform/app_folder.h"
#include "recording_prompter.h"
#include "settings/frm_path.h"
#include "settings/login_settings.h"
#include "settings/path_dlg.h"
#include "settings/path_settings.h"
#include "settings/settings_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
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

// An empty application folder with import and export folders, and its path settings.
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

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsItemsByTheFormRules() {
        QCOMPARE(SettingsFile::parse("\"a\"\n\"b\"\r\"c\"\r\n"), (QStringList{"a", "b", "c"}));
        // Leading blanks skipped; unquoted items end at a comma; text after a closing quote
        // is ignored; a file cut off inside a quoted item keeps what it has.
        QCOMPARE(SettingsFile::parse("  a,\"b,c\"xyz,\t d e\r\n\"\"\r\n\"trunc"),
                 (QStringList{"a", "b,c", "d e", "", "trunc"}));
    }

    // Written in GB18030 (GBK for what GBK holds), read back whole; U+20000 is beyond GBK.
    void valuesRoundTrip() {
        TestFolder folder(TestFolder::Content::Empty);
        const QString path = folder.filePath("round.ini");
        const QStringList values{"a,b,c", "王堃喆" + QString::fromUcs4(U"\U00020000"), "  x  ", "",
                                 "\\\\server\\share\\"};
        QVERIFY(SettingsFile::write(path, values));
        QCOMPARE(folder.read("round.ini"),
                 QStringEncoder("GB18030").encode("\"" + values.join("\"\r\n\"") + "\"\r\n"));
        QVERIFY(folder.read("round.ini").contains(QByteArray("\xCD\xF5\x88\xD2\x86\xB4"))); // GBK
        QCOMPARE(SettingsFile::read(path).value_or(QStringList{"<missing>"}), values);
        // "膜" is C4 A4 in GBK, which is "Ĥ" in UTF-8: it still reads back as written.
        QVERIFY(SettingsFile::write(path, {"膜"}));
        QCOMPARE(SettingsFile::read(path).value_or(QStringList{"<missing>"}), QStringList{"膜"});
    }

    // The form cannot hold these; writing them would read back as other items.
    void refusesValuesTheFormCannotHold() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("keep.ini", "\"old\"\r\n");
        for (const char* value : {"say \"hi\"", "a\nb", "a\rb"}) {
            QString error;
            QVERIFY(!SettingsFile::write(folder.filePath("keep.ini"), {"fine", value}, &error));
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(folder.read("keep.ini"), QByteArray("\"old\"\r\n"));
    }

    void readsOlderEncodings() {
        TestFolder folder(TestFolder::Content::Empty);
        QStringEncoder gbk("GB18030");
        folder.write("gbk.ini", gbk.encode(QStringLiteral("\"http://服务器/\"\r\n\"王堃\"\r\n")));
        folder.write("bom.ini", "\xEF\xBB\xBF\"\xE4\xB8\xAD\"\r\n");
        QCOMPARE(SettingsFile::read(folder.filePath("gbk.ini")).value_or(QStringList{}),
                 (QStringList{"http://服务器/", "王堃"}));
        QCOMPARE(SettingsFile::read(folder.filePath("bom.ini")).value_or(QStringList{}),
                 QStringList{"中"});
    }

    void loginSettingsFoundWithoutRegardToCase() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        QVERIFY(!LoginSettings::load(app));
        folder.write("LOGINWAN.INI", "\"http://srv/\"\r\n\"op\"\r\n\"pw\"\r\n");
        const std::optional<LoginSettings> loaded = LoginSettings::load(app);
        QVERIFY(loaded);
        QCOMPARE(loaded->operatorName, QString("op"));
        QCOMPARE(loaded->encryptedPassword, QString("pw"));
        QCOMPARE(loaded->businessDate, QString()); // items a short file lacks read as empty
    }

    void businessDateForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("written form") << "2026-03-15" << QDate(2026, 3, 15);
        QTest::newRow("Windows short date") << "2026/3/5" << QDate(2026, 3, 5);
        QTest::newRow("unpadded dashes") << "2026-3-5" << QDate(2026, 3, 5);
        QTest::newRow("Chinese long date") << "2026年3月5日" << QDate(2026, 3, 5);
        QTest::newRow("impossible month") << "2026-13-01" << QDate();
        QTest::newRow("day first") << "15/03/2026" << QDate();
    }
    void businessDateForms() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(LoginSettings::parseDate(text), date);
        if (date.isValid())
            QCOMPARE(LoginSettings::parseDate(LoginSettings::formatDate(date)), date);
    }

    // The first start writes the defaults; items a damaged file lacks keep their values, and
    // nothing is left without a folder.
    void pathSettingsDefaults() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        PathSettings paths;
        paths.load(app);
        const QString root = QDir::toNativeSeparators(folder.path()) + QDir::separator();
        QCOMPARE(paths.importPath, root);
        QCOMPARE(paths.exportPath, root);
        QCOMPARE(folder.read("xml.ini"),
                 QString("\"%1\"\r\n\"%1\"\r\n\"false\"\r\n").arg(root).toUtf8());

        folder.write("xml.ini", "\"/in/\"\r\n");
        paths = {"", "/kept/", "true"};
        paths.load(app);
        QCOMPARE(paths.importPath, QString("/in/"));
        QCOMPARE(paths.exportPath, QString("/kept/"));
        QCOMPARE(paths.exportWholeFolder, QString("true"));
        PathSettings fresh;
        fresh.load(app);
        QCOMPARE(fresh.exportPath, root);
        QCOMPARE(fresh.exportWholeFolder, QString("false"));
        QCOMPARE(folder.read("xml.ini"), QByteArray("\"/in/\"\r\n"));
    }

    void savesOverReadOnlyFile() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("xml.ini", "\"/a/\"\r\n\"/b/\"\r\n\"false\"\r\n");
        QFile::setPermissions(folder.filePath("xml.ini"), QFile::ReadOwner);
        QVERIFY((PathSettings{"/c/", "/d/", "true"}.save(AppFolder(folder.path()))));
        QCOMPARE(folder.read("xml.ini"), QByteArray("\"/c/\"\r\n\"/d/\"\r\n\"true\"\r\n"));
    }

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

KVX_TEST_MAIN(SettingsTest)
#include "tst_settings.moc"
