#include "test_folder.h"
#include "test_main.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>

using kvx::test::TestFolder;

namespace {

// The lock the console holds for its application folder.
QString lockPathFor(const QString& appFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir(appFolder).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QDir::temp().filePath(
        QStringLiteral("kvx-console-%1.lock").arg(QString::fromLatin1(key)));
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondInstanceEndsAtOnce() {
        TestFolder folder(TestFolder::Content::Sample);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KVX_APP_DIR", folder.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");

        const QString lockPath = lockPathFor(folder.path());
        QProcess first;
        // However the test ends, the first instance and its lock go.
        const auto cleanup = qScopeGuard([&first, &lockPath] {
            first.kill();
            first.waitForFinished(10000);
            QFile::remove(lockPath);
        });
        first.setProcessEnvironment(environment);
        first.start(KVX_CONSOLE_PATH, {});
        QVERIFY(first.waitForStarted());
        // The first instance waits in its login dialog, holding the lock.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lockPath), 20000);

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(KVX_CONSOLE_PATH, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
    }
};

KVX_TEST_MAIN_CORE(SingleInstanceTest)
#include "tst_single_instance.moc"
