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
    void readsItemsByTheFormRules_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("quoted lines, CR LF") << "\"http://srv/\"\r\n\"张三\"\r\n"
                                             << QStringList{"http://srv/", "张三"};
        QTest::newRow("LF and CR line ends") << "\"a\"\n\"b\"\r\"c\"" << QStringList{"a", "b", "c"};
        QTest::newRow("leading blanks skipped") << "   \"a\"\r\n\t b c\r\n"
                                                << QStringList{"a", "b c"};
        QTest::newRow("blanks inside quotes kept") << "\" a \"\r\n" << QStringList{" a "};
        QTest::newRow("unquoted items end at a comma") << "a,b\r\nc" << QStringList{"a", "b", "c"};
        QTest::newRow("comma inside quotes") << "\"a,b\",\"c\"\r\n" << QStringList{"a,b", "c"};
        QTest::newRow("text after the closing quote ignored") << "\"a\"xyz,b\r\n\"c\"  \r\n"
                                                              << QStringList{"a", "b", "c"};
        QTest::newRow("empty values") << "\"\"\r\n\"x\"\r\n\"\"\r\n" << QStringList{"", "x", ""};
        QTest::newRow("truncated in a quoted item")
            << "\"http://srv/\"\r\n\"adm" << QStringList{"http://srv/", "adm"};
        QTest::newRow("truncated after an item") << "\"http://srv/\"" << QStringList{"http://srv/"};
        QTest::newRow("empty file") << "" << QStringList{};
    }
    void readsItemsByTheFormRules() {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(SettingsFile::parse(text), items);
    }

    void writesQuotedLinesWithCrLf() {
        QCOMPARE(SettingsFile::format({"C:\\data\\", "true"}),
                 QByteArray("\"C:\\data\\\"\r\n\"true\"\r\n"));
    }

    void valuesRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << "a,b,c";
        QTest::newRow("Chinese and GBK-only characters") << "王堃喆";
        QTest::newRow("leading and trailing blanks") << "  x  ";
        QTest::newRow("empty") << "";
        QTest::newRow("backslashes") << "\\\\server\\share\\";
        QTest::newRow("apostrophe and brackets") << "o'neil [1] (2)";
    }
    void valuesRoundTrip() {
        QFETCH(QString, value);
        TestFolder folder(TestFolder::Content::Empty);
        const QString path = folder.filePath("round.ini");
        QVERIFY(SettingsFile::write(path, {value, "next"}));
        QCOMPARE(SettingsFile::read(path).value_or(QStringList{"<missing>"}),
                 (QStringList{value, "next"}));
    }

    // The form cannot hold these; writing them would read back as other items.
    void refusesValuesTheFormCannotHold_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("line feed") << "a\nb";
        QTest::newRow("carriage return") << "a\rb";
    }
    void refusesValuesTheFormCannotHold() {
        QFETCH(QString, value);
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("keep.ini", "\"old\"\r\n");
        QString error;
        QVERIFY(!SettingsFile::write(folder.filePath("keep.ini"), {"fine", value}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(folder.read("keep.ini"), QByteArray("\"old\"\r\n"));
    }

    void readsOldGbkFiles() {
        TestFolder folder(TestFolder::Content::Empty);
        QStringEncoder gbk("GB18030");
        const QByteArray bytes = gbk.encode(QStringLiteral("\"http://服务器/\"\r\n\"王堃\"\r\n"));
        QVERIFY(QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter));
        folder.write("old.ini", bytes);
        QCOMPARE(SettingsFile::read(folder.filePath("old.ini")).value_or(QStringList{"<missing>"}),
                 (QStringList{"http://服务器/", "王堃"}));
    }

    void readsUtf8WithByteOrderMark() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("bom.ini", "\xEF\xBB\xBF\"\xE4\xB8\xAD\"\r\n");
        QCOMPARE(SettingsFile::read(folder.filePath("bom.ini")).value_or(QStringList{"<missing>"}),
                 QStringList{"中"});
    }

    void missingFileReadsAsNothing() {
        TestFolder folder(TestFolder::Content::Empty);
        QVERIFY(!SettingsFile::read(folder.filePath("none.ini")));
    }

    void overwritesReadOnlyFile() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("ro.ini", "\"old\"\r\n");
        const QString path = folder.filePath("ro.ini");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
        QVERIFY(SettingsFile::write(path, {"new"}));
        QCOMPARE(folder.read("ro.ini"), QByteArray("\"new\"\r\n"));
    }

    void loginSettingsRoundTrip() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        QVERIFY(!LoginSettings::load(app));
        const LoginSettings saved{"http://srv/", "张三", "ab12", "2026-03-15"};
        QVERIFY(saved.save(app));
        QCOMPARE(folder.read("LoginWan.ini"),
                 QString("\"http://srv/\"\r\n\"张三\"\r\n\"ab12\"\r\n\"2026-03-15\"\r\n").toUtf8());
        const std::optional<LoginSettings> loaded = LoginSettings::load(app);
        QVERIFY(loaded);
        QCOMPARE(loaded->serverUrl, saved.serverUrl);
        QCOMPARE(loaded->operatorName, saved.operatorName);
        QCOMPARE(loaded->encryptedPassword, saved.encryptedPassword);
        QCOMPARE(loaded->businessDate, saved.businessDate);
    }

    void loginSettingsFoundWithoutRegardToCase() {
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("LOGINWAN.INI", "\"http://srv/\"\r\n\"op\"\r\n");
        const std::optional<LoginSettings> loaded = LoginSettings::load(AppFolder(folder.path()));
        QVERIFY(loaded);
        QCOMPARE(loaded->operatorName, QString("op"));
        // Items the short file lacks read as empty.
        QCOMPARE(loaded->encryptedPassword, QString());
        QCOMPARE(loaded->businessDate, QString());
    }

    void loginSettingsRefuseDoubleQuoteAndKeepOldFile() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        QVERIFY((LoginSettings{"http://a/", "op", "x", "2026-01-01"}.save(app)));
        const QByteArray before = folder.read("LoginWan.ini");
        QVERIFY(!(LoginSettings{"http://a/", "o\"p", "x", "2026-01-01"}.save(app)));
        QCOMPARE(folder.read("LoginWan.ini"), before);
    }

    void businessDateForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("written form") << "2026-03-15" << QDate(2026, 3, 15);
        QTest::newRow("Windows short date") << "2026/3/5" << QDate(2026, 3, 5);
        QTest::newRow("unpadded dashes") << "2026-3-5" << QDate(2026, 3, 5);
        QTest::newRow("Chinese long date") << "2026年3月5日" << QDate(2026, 3, 5);
        QTest::newRow("no date") << "" << QDate();
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

    void pathSettingsFirstStartWritesDefaults() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        PathSettings paths;
        paths.load(app);
        const QString root = QDir::toNativeSeparators(folder.path()) + QDir::separator();
        QCOMPARE(paths.importPath, root);
        QCOMPARE(paths.exportPath, root);
        QCOMPARE(paths.exportWholeFolder, QString("false"));
        QCOMPARE(folder.read("xml.ini"),
                 QString("\"%1\"\r\n\"%1\"\r\n\"false\"\r\n").arg(root).toUtf8());
    }

    void pathSettingsReadFromFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("importPath");
        QTest::addColumn<QString>("exportPath");
        QTest::addColumn<bool>("wholeFolder");
        QTest::newRow("upper case TRUE")
            << QByteArray("\"/in/\"\r\n\"/out/\"\r\n\"TRUE\"\r\n") << "/in/"
            << "/out/" << true;
        QTest::newRow("mixed case True")
            << QByteArray("\"/in\"\r\n\"/out\"\r\n\"True\"\r\n") << "/in"
            << "/out" << true;
        QTest::newRow("false") << QByteArray("\"/in/\"\r\n\"/out/\"\r\n\"false\"\r\n") << "/in/"
                               << "/out/" << false;
    }
    void pathSettingsReadFromFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, importPath);
        QFETCH(QString, exportPath);
        QFETCH(bool, wholeFolder);
        TestFolder folder(TestFolder::Content::Empty);
        folder.write("xml.ini", bytes);
        PathSettings paths;
        paths.load(AppFolder(folder.path()));
        QCOMPARE(paths.importPath, importPath);
        QCOMPARE(paths.exportPath, exportPath);
        QCOMPARE(paths.exportsWholeFolder(), wholeFolder);
        QCOMPARE(folder.read("xml.ini"), bytes);
    }

    // Items a damaged file lacks keep their values; nothing is left without a folder.
    void pathSettingsShortFileKeepsOrDefaultsTheRest() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        folder.write("xml.ini", "\"/in/\"\r\n");
        PathSettings paths{"", "/kept/", "true"};
        paths.load(app);
        QCOMPARE(paths.importPath, QString("/in/"));
        QCOMPARE(paths.exportPath, QString("/kept/"));
        QCOMPARE(paths.exportWholeFolder, QString("true"));

        PathSettings fresh;
        fresh.load(app);
        QCOMPARE(fresh.exportPath, PathSettings::defaults(app).exportPath);
        QCOMPARE(fresh.exportWholeFolder, QString("false"));
        QCOMPARE(folder.read("xml.ini"), QByteArray("\"/in/\"\r\n"));
    }

    void pathSettingsSaveOverReadOnlyFile() {
        TestFolder folder(TestFolder::Content::Empty);
        const AppFolder app(folder.path());
        folder.write("xml.ini", "\"/a/\"\r\n\"/b/\"\r\n\"false\"\r\n");
        QFile::setPermissions(folder.filePath("xml.ini"), QFile::ReadOwner);
        QVERIFY((PathSettings{"/c/", "/d/", "true"}.save(app)));
        QCOMPARE(folder.read("xml.ini"), QByteArray("\"/c/\"\r\n\"/d/\"\r\n\"true\"\r\n"));
    }
};

KVX_TEST_MAIN_CORE(SettingsFilesTest)
#include "tst_settings_files.moc"
