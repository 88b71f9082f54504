// Sudden death for every save of the system. Each save runs in a child process (this program
// with --child) that repeats it until it is killed with SIGKILL at a random moment; then the
// file is byte for byte one of its complete versions, old or new, and loads, and a store (run
// history, server) passes its integrity check and holds no half run or half document. Then each
// save meets a full disk (--full-disk: the child's files may not grow): it fails, the message
// names the file, and the old version stays.
//
//   crash_trials [TRIALS] [--seed N] [--kind NAME]   TRIALS kills per save kind (default 20)
#include "platform/xml/xml_document.h"
#include "save_kinds.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <random>
#include <unistd.h>

using namespace kvx;
using namespace kvx::crash;

namespace {

void copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString target = to + it.next().mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(it.filePath(), target);
    }
}

// A file's bytes without the blanks between its elements.
QByteArray withoutLayout(QByteArray bytes) {
    static const QRegularExpression between(QStringLiteral(">\\s+<"));
    return QString::fromLatin1(bytes).replace(between, QStringLiteral("><")).toLatin1();
}

int runChild(const SaveKind& kind, const QString& folder, bool diskFull) {
    QString message;
    if (diskFull) {
        setDiskFullOnWrite();
        const bool saved = kind.save(folder, 0, &message);
        std::printf("%s", message.toUtf8().constData());
        return saved ? 1 : 0;
    }
    // A first save on a copy, so that the kill meets saves as quick as the reference ones.
    const QString warmUp = folder + QStringLiteral("-warm-up");
    copyFolder(folder, warmUp);
    kind.save(warmUp, 0, &message);
    QDir(warmUp).removeRecursively();
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 0; !kind.once || round < 1; ++round) {
        if (!kind.save(folder, round, &message)) {
            std::fprintf(stderr, "save failed: %s\n", message.toUtf8().constData());
            return 3;
        }
    }
    pause(); // a save done once waits for the kill like the others
    return 0;
}

// The trials of one save kind; failures are printed and counted.
class Trials {
public:
    Trials(SaveKind kind, std::mt19937& random)
        : m_kind(std::move(kind))
        , m_random(random)
        , m_old(m_dir.filePath(QStringLiteral("old"))) {
        QDir().mkpath(m_old);
        m_kind.prepare(m_old);
        const QString reference = m_dir.filePath(QStringLiteral("reference"));
        copyFolder(m_old, reference);
        m_versions.insert(m_oldState = state(m_old));
        QElapsedTimer timer;
        timer.start();
        for (int round = 0; round < (m_kind.once ? 1 : 4); ++round) {
            QString message;
            if (!m_kind.save(reference, round, &message))
                fail(QStringLiteral("the reference save failed: ") + message);
            m_versions.insert(m_final = state(reference));
        }
        m_maxDelayUs = int(qBound(qint64(20000), timer.nsecsElapsed() / 1000, qint64(1000000)));
    }

    int run(int count) {
        for (int trial = 0; trial < count; ++trial)
            kill(trial, m_dir.filePath(QStringLiteral("trial-%1").arg(trial)));
        diskFull(m_dir.filePath(QStringLiteral("full")));
        QStringList counts;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        std::printf("%-18s %d trials: %s; full disk: %s\n", qPrintable(m_kind.name), count,
                    qPrintable(counts.join(QStringLiteral(", "))), qPrintable(m_diskFull));
        return m_failures;
    }

private:
    // The file's bytes (and whether it loads), or a store's summary.
    QByteArray state(const QString& folder) {
        if (m_kind.inspect) {
            const Inspection inspection = m_kind.inspect(folder);
            if (!inspection.problem.isEmpty())
                fail(inspection.problem);
            return inspection.summary.toUtf8();
        }
        QFile file(QDir(folder).filePath(m_kind.file));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (m_kind.file.endsWith(QLatin1String(".xml")) && XmlDocument::fromBytes(bytes).isNull())
            fail(QStringLiteral("%1 does not load").arg(m_kind.file));
        return bytes;
    }

    QProcess* start(const char* mode, const QString& folder) {
        copyFolder(m_old, folder);
        auto* child = new QProcess;
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QString::fromLatin1(mode), m_kind.name, folder});
        return child;
    }

    void kill(int trial, const QString& folder) {
        const std::unique_ptr<QProcess> child(start("--child", folder));
        while (!child->canReadLine() && child->waitForReadyRead(30000)) {
        }
        const int delayUs = std::uniform_int_distribution<int>(0, m_maxDelayUs)(m_random);
        if (child->readLine() != "ready\n")
            return fail(QStringLiteral("the child did not start"));
        QThread::usleep(ulong(delayUs));
        child->kill();
        child->waitForFinished();
        if (child->exitStatus() == QProcess::NormalExit)
            return fail(QStringLiteral("the save failed before the kill"));
        const QByteArray found = state(folder);
        if (!m_kind.inspect && !m_versions.contains(found))
            return fail(QStringLiteral("trial %1 (%2 µs): neither the old nor a new version")
                            .arg(trial)
                            .arg(delayUs));
        ++m_counts[found == m_oldState ? QStringLiteral("old") : QStringLiteral("new")];
        if (!finishesWhenRunAgain(folder))
            fail(
                QStringLiteral("trial %1: the save run again does not finish the work").arg(trial));
        QDir(folder).removeRecursively();
    }

    void diskFull(const QString& folder) {
        const std::unique_ptr<QProcess> child(start("--full-disk", folder));
        child->waitForFinished(60000);
        const QString message = QString::fromUtf8(child->readAllStandardOutput());
        if (state(folder) != m_oldState)
            return fail(QStringLiteral("full disk: the old version is lost"));
        if (child->exitCode() != 0)
            return fail(QStringLiteral("full disk: the save did not report its failure"));
        if (!message.contains(QFileInfo(m_kind.file).fileName()))
            return fail(QStringLiteral("full disk: the message does not name the file: ") +
                        message);
        if (!finishesWhenRunAgain(folder))
            return fail(QStringLiteral("full disk: the save run again does not finish the work"));
        m_diskFull = QStringLiteral("refused, old kept");
    }

    // A save that consumes its input (the backup merge) finishes when it is run again, though
    // the layout of the file may differ.
    bool finishesWhenRunAgain(const QString& folder) {
        QString message;
        return !m_kind.once || (m_kind.save(folder, 0, &message) &&
                                withoutLayout(state(folder)) == withoutLayout(m_final));
    }

    void fail(const QString& what) {
        std::printf("FAILED %s: %s\n", qPrintable(m_kind.name), what.toUtf8().constData());
        ++m_failures;
    }

    SaveKind m_kind;
    std::mt19937& m_random;
    QTemporaryDir m_dir;
    QString m_old;
    QByteArray m_oldState;
    QByteArray m_final;
    QSet<QByteArray> m_versions;
    int m_maxDelayUs = 0;
    QMap<QString, int> m_counts;
    QString m_diskFull = QStringLiteral("not tried");
    int m_failures = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    const QStringList args = app.arguments().mid(1);
    QList<SaveKind> kinds = saveKinds();
    if (args.size() == 3 &&
        (args[0] == QLatin1String("--child") || args[0] == QLatin1String("--full-disk"))) {
        for (const SaveKind& kind : kinds) {
            if (kind.name == args[1])
                return runChild(kind, args[2], args[0] == QLatin1String("--full-disk"));
        }
        return 2;
    }
    int trials = 20;
    unsigned seed = std::random_device()();
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seed") && i + 1 < args.size())
            seed = args[++i].toUInt();
        else if (args[i] == QLatin1String("--kind") && i + 1 < args.size()) {
            const QString name = args[++i];
            kinds.removeIf([&](const SaveKind& kind) { return kind.name != name; });
        } else
            trials = args[i].toInt();
    }
    std::printf("crash trials: %d per save kind, seed %u (--seed %u repeats them)\n", trials, seed,
                seed);
    std::mt19937 random(seed);
    int failures = 0;
    for (const SaveKind& kind : std::as_const(kinds)) {
        std::fflush(stdout);
        failures += Trials(kind, random).run(trials);
    }
    return failures == 0 ? 0 : 1;
}
