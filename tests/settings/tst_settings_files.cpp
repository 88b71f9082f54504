#include "platform/app_folder.h"
#include "settings/login_settings.h"
#include "settings/path_settings.h"
#include "settings/settings_file.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

using namespace kvx;
using test::TestFolder;

class SettingsFilesTest : public QObject {
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
};

KVX_TEST_MAIN_CORE(SettingsFilesTest)
#include "tst_settings_files.moc"
