#include "platform/app_folder.h"
#include "platform/password_encryptor.h"
#include "platform/user_app_folder.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QDirIterator>
#include <QScopeGuard>

using namespace kvx;

namespace {

// An installed program's folder, <root>/usr/bin, with the sample installed beside it.
struct Installation {
    Installation() {
        QDir().mkpath(bin());
        QDirIterator it(test::TestFolder::sampleDir(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString target =
                sample() + '/' + QDir(test::TestFolder::sampleDir()).relativeFilePath(source);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(source, target);
        }
    }
    QString bin() const { return root.path() + "/usr/bin"; }
    QString sample() const { return root.path() + "/usr/share/kvx/sample"; }
    QString home() const { return root.path() + "/home"; }
    // Every file below the folder with its bytes.
    static QMap<QString, QByteArray> contents(const QString& folder) {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            file.open(QIODevice::ReadOnly);
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
        }
        return files;
    }

    test::TestFolder root{test::TestFolder::Content::Empty};
};

// Sets the variables for the test's time; what was there before comes back.
auto environment(const QMap<QByteArray, QString>& values) {
    QMap<QByteArray, std::optional<QByteArray>> saved;
    for (const QByteArray& name :
         {QByteArray("HOME"), QByteArray("XDG_DATA_HOME"), QByteArray("KVX_APP_DIR")}) {
        saved.insert(name,
                     qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (values.contains(name))
            qputenv(name, values.value(name).toUtf8());
        else
            qunsetenv(name);
    }
    return qScopeGuard([saved] {
        for (auto it = saved.begin(); it != saved.end(); ++it) {
            if (it.value())
                qputenv(it.key(), *it.value());
            else
                qunsetenv(it.key());
        }
    });
}

} // namespace

class PlatformIoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resolvesPathsWithoutRegardToCase() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("xml/operation/Dir.xml"), "<r/>");
        AppFolder app(folder.path());
        QCOMPARE(app.resolve(QStringLiteral("\\Xml\\Operation\\dir.xml")),
                 folder.path() + QStringLiteral("/xml/operation/Dir.xml"));
        // Missing components keep the spelling asked for.
        QCOMPARE(app.resolve(QStringLiteral("\\XML\\new\\Kvxtemp.xml")),
                 folder.path() + QStringLiteral("/xml/new/Kvxtemp.xml"));
        QCOMPARE(app.displayPath(QStringLiteral("\\xml.ini")),
                 QDir::toNativeSeparators(folder.path() + QStringLiteral("/xml.ini")));
    }

    // Which folder a program works on: an installed one the user's (XDG_DATA_HOME/kvx, else
    // ~/.local/share/kvx), one in its build folder that folder, either KVX_APP_DIR when set.
    void choosesTheApplicationFolder_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build folder") << false << QStringList{"HOME", "XDG_DATA_HOME"} << "bin";
        QTest::newRow("installed") << true << QStringList{"HOME", "XDG_DATA_HOME"} << "data/kvx";
        QTest::newRow("installed, no XDG_DATA_HOME")
            << true << QStringList{"HOME"} << "home/.local/share/kvx";
        QTest::newRow("installed, KVX_APP_DIR")
            << true << QStringList{"HOME", "XDG_DATA_HOME", "KVX_APP_DIR"} << "chosen";
        QTest::newRow("build folder, KVX_APP_DIR")
            << false << QStringList{"KVX_APP_DIR"} << "chosen";
    }
    void choosesTheApplicationFolder() {
        QFETCH(bool, installed);
        QFETCH(QStringList, variables);
        QFETCH(QString, expected);
        Installation at;
        if (!installed)
            QDir(at.sample()).removeRecursively();
        const QMap<QByteArray, QString> all = {{"HOME", at.home()},
                                               {"XDG_DATA_HOME", at.root.path() + "/data"},
                                               {"KVX_APP_DIR", at.root.path() + "/chosen"}};
        QMap<QByteArray, QString> set;
        for (const QString& name : variables)
            set.insert(name.toLatin1(), all.value(name.toLatin1()));
        const auto restore = environment(set);
        const QString folder = expected == "bin" ? at.bin() : at.root.path() + '/' + expected;

        QCOMPARE(UserAppFolder::choose(at.bin()).root(), folder);
        const UserAppFolder::Outcome outcome = UserAppFolder::prepare(at.bin());
        QCOMPARE(outcome.folder.root(), folder);
        QCOMPARE(outcome.error, QString());
        // Only the user's folder is made, and only from the installed sample.
        const bool made = installed && expected != "chosen";
        QCOMPARE(outcome.created(), made);
        QCOMPARE(QFileInfo(folder).isDir(), made || expected == "bin");
        if (made) {
            QCOMPARE(Installation::contents(folder), Installation::contents(at.sample()));
            QVERIFY(outcome.createdMessage().contains(QDir::toNativeSeparators(folder)));
        }
    }

    // The first start makes the folder; later starts keep what the operator changed there.
    void userFolderIsMadeOnce() {
        Installation at;
        const auto restore = environment({{"HOME", at.home()}});
        const QString folder = at.home() + "/.local/share/kvx";
        QVERIFY(UserAppFolder::prepare(at.bin()).created());
        QVERIFY(QFile::remove(folder + "/xml/operation/schedule.xml"));
        const UserAppFolder::Outcome again = UserAppFolder::prepare(at.bin());
        QVERIFY(!again.created());
        QCOMPARE(again.error, QString());
        QVERIFY(!QFileInfo::exists(folder + "/xml/operation/schedule.xml"));
    }

    // A folder that cannot be made is reported, and no half copy is left to be taken for it
    // at the next start.
    void userFolderThatCannotBeMade_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file in its place") << "file"
                                             << "同名的文件已存在。";
        QTest::newRow("a sample file that cannot be read") << "dangling link"
                                                           << "无法复制";
    }
    void userFolderThatCannotBeMade() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        Installation at;
        const auto restore = environment({{"HOME", at.home()}});
        const QString share = at.home() + "/.local/share";
        QDir().mkpath(share);
        if (obstacle == "file")
            QVERIFY(QFile(share + "/kvx").open(QIODevice::WriteOnly));
        else
            QVERIFY(QFile::link(at.root.path() + "/nowhere", at.sample() + "/xml/gone.xml"));

        const UserAppFolder::Outcome outcome = UserAppFolder::prepare(at.bin());
        QVERIFY(!outcome.created());
        QVERIFY2(outcome.error.startsWith("应用目录" + QDir::toNativeSeparators(share + "/kvx") +
                                          "无法建立："),
                 qPrintable(outcome.error));
        QVERIFY2(outcome.error.contains(reason), qPrintable(outcome.error));
        QCOMPARE(QDir(share).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 obstacle == "file" ? QStringList{"kvx"} : QStringList{});
    }

    // The password component's known answer (the README's recipe gives the same), and its
    // output for other texts.
    void encryptorKnownAnswer() {
        const PasswordEncryptor e;
        QCOMPARE(
            e.ascPwd(QStringLiteral("demo")),
            QStringLiteral("fc471e95690c92152037f5fc41a5531c0dc5f335fb33d42770eb0fe9260b094c"));
        QVERIFY(e.ascPwd(QStringLiteral("demo")) != e.ascPwd(QStringLiteral("demo ")));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(e.ascPwd(QStringLiteral("密码")))
                    .hasMatch());
    }
};

KVX_TEST_MAIN_CORE(PlatformIoTest)
#include "tst_platform_io.moc"
