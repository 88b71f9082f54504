#include "platform/app_folder.h"
#include "platform/password_encryptor.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;

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
