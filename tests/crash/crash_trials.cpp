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
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kvx;
using namespace kvx::crash;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file's state (its bytes in base64) without the blanks between its elements.
QByteArray withoutLayout(const QString& state) {
    static const QRegularExpression between(QStringLiteral(">\\s+<"));
    return QString::fromUtf8(QByteArray::fromBase64(state.toLatin1()))
        .replace(between, QStringLiteral("><"))
        .toUtf8();
}

void copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString target = to + it.next().mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(it.filePath(), target);
    }
}

// A child running the save; its standard output comes back through a pipe.
struct Child {
    pid_t pid = -1;
    int output = -1;

    static Child start(const char* mode, const SaveKind& kind, const QString& folder) {
        int pipeEnds[2];
        Child child;
        if (pipe(pipeEnds) != 0)
            return child;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        const QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
        const QByteArray name = kind.name.toUtf8(), where = folder.toLocal8Bit();
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(mode),
                        const_cast<char*>(name.constData()), const_cast<char*>(where.constData()),
                        nullptr};
        if (posix_spawn(&child.pid, program.constData(), &actions, nullptr, argv, environ) != 0)
            child.pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        child.output = pipeEnds[0];
        return child;
    }
    // Reads up to the end of a line, or to the end of the output.
    QByteArray readLine(bool whole = false) const {
        QByteArray text;
        char c;
        while (read(output, &c, 1) == 1 && (whole || c != '\n'))
            text += c;
        return text;
    }
    // The exit status; -1 when it was killed.
    int wait() const {
        int status = 0;
        waitpid(pid, &status, 0);
        close(output);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

int runChild(const SaveKind& kind, const QString& folder, bool diskFull) {
    QString message;
    if (diskFull) {
        setDiskFullOnWrite();
        const bool saved = kind.save(folder, 0, &message);
        std::printf("%s", message.toUtf8().constData());
        return saved ? 1 : 0;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 0; !kind.once || round < 1; ++round) {
        if (!kind.save(folder, round, &message)) {
            std::fprintf(stderr, "save failed: %s\n", message.toUtf8().constData());
            return 3;
        }
    }
    pause(); // a once-only save waits for the kill like the others
    return 0;
}

// The trials of one save kind; failures are printed, and counted in the result.
class Trials {
public:
    Trials(const SaveKind& kind, std::mt19937& random)
        : m_kind(kind)
        , m_random(random) {
        QDir(m_template.path()).mkdir(QStringLiteral("old"));
        m_kind.prepare(m_template.filePath(QStringLiteral("old")));
        const QString reference = m_template.filePath(QStringLiteral("reference"));
        copyFolder(m_template.filePath(QStringLiteral("old")), reference);
        m_old = state(m_template.filePath(QStringLiteral("old")));
        m_versions.insert(m_old);
        QElapsedTimer timer;
        timer.start();
        QString message;
        for (int round = 0; round < (m_kind.once ? 1 : 4); ++round) {
            if (!m_kind.save(reference, round, &message))
                fail(QStringLiteral("the reference save failed: ") + message);
            m_final = state(reference);
            m_versions.insert(m_final);
        }
        m_maxDelayUs = qBound(qint64(2000), timer.nsecsElapsed() / 1000 * (m_kind.once ? 2 : 1),
                              qint64(1000000));
    }

    int run(int count) {
        for (int trial = 0; trial < count; ++trial)
            kill(trial);
        diskFull();
        QStringList counts;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        std::printf("%-18s %d trials: %s; full disk: %s\n", qPrintable(m_kind.name), count,
                    qPrintable(counts.join(QStringLiteral(", "))), m_diskFull.toUtf8().constData());
        return m_failures;
    }

private:
    // The file's bytes, or a store's summary; empty with the problem noted when unsound.
    QString state(const QString& folder) {
        if (m_kind.inspect) {
            const Inspection inspection = m_kind.inspect(folder);
            if (!inspection.problem.isEmpty())
                fail(inspection.problem);
            return inspection.summary;
        }
        const QByteArray bytes = contents(QDir(folder).filePath(m_kind.file));
        if (m_kind.file.endsWith(QLatin1String(".xml")) && XmlDocument::fromBytes(bytes).isNull())
            fail(QStringLiteral("%1 does not load").arg(m_kind.file));
        return QString::fromLatin1(bytes.toBase64());
    }

    void kill(int trial) {
        const QString folder = m_template.filePath(QStringLiteral("trial-%1").arg(trial));
        copyFolder(m_template.filePath(QStringLiteral("old")), folder);
        const Child child = Child::start("--child", m_kind, folder);
        if (child.readLine() != "ready")
            return fail(QStringLiteral("the child did not start"));
        const int delayUs = std::uniform_int_distribution<int>(0, int(m_maxDelayUs))(m_random);
        usleep(useconds_t(delayUs));
        ::kill(child.pid, SIGKILL);
        if (child.wait() > 0)
            return fail(QStringLiteral("the save failed before the kill"));
        const QString found = state(folder);
        if (!m_versions.contains(found))
            return fail(QStringLiteral("trial %1 (%2 µs): neither the old nor a new version")
                            .arg(trial)
                            .arg(delayUs));
        ++m_counts[found == m_old ? QStringLiteral("old") : QStringLiteral("new")];
        // A save that consumes its input finishes when it is run again (the layout of the file
        // may differ).
        QString message;
        if (m_kind.once && (!m_kind.save(folder, 0, &message) ||
                            withoutLayout(state(folder)) != withoutLayout(m_final)))
            fail(
                QStringLiteral("trial %1: the save run again does not finish the work").arg(trial));
        QDir(folder).removeRecursively();
    }

    void diskFull() {
        const QString folder = m_template.filePath(QStringLiteral("full"));
        copyFolder(m_template.filePath(QStringLiteral("old")), folder);
        const Child child = Child::start("--full-disk", m_kind, folder);
        const QString message = QString::fromUtf8(child.readLine(true));
        const int status = child.wait();
        if (state(folder) != m_old)
            return fail(QStringLiteral("full disk: the old version is lost"));
        if (m_kind.reports && status != 0)
            return fail(QStringLiteral("full disk: the save reported success (%1)").arg(status));
        if (m_kind.reports && !message.contains(QFileInfo(m_kind.file).fileName()))
            return fail(QStringLiteral("full disk: the message does not name the file: ") +
                        message);
        m_diskFull =
            m_kind.reports ? QStringLiteral("refused, old kept") : QStringLiteral("old kept");
    }

    void fail(const QString& what) {
        std::printf("FAILED %s: %s\n", qPrintable(m_kind.name), what.toUtf8().constData());
        ++m_failures;
    }

    SaveKind m_kind;
    std::mt19937& m_random;
    QTemporaryDir m_template;
    QString m_old;
    QString m_final;
    QSet<QString> m_versions;
    qint64 m_maxDelayUs = 0;
    QMap<QString, int> m_counts;
    QString m_diskFull = QStringLiteral("not tried");
    int m_failures = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    const QStringList args = app.arguments().mid(1);
    const QList<SaveKind> kinds = saveKinds();
    const auto kindNamed = [&](const QString& name) {
        return std::find_if(kinds.begin(), kinds.end(),
                            [&](const SaveKind& k) { return k.name == name; });
    };
    if (args.size() == 3 &&
        (args[0] == QLatin1String("--child") || args[0] == QLatin1String("--full-disk")))
        return kindNamed(args[1]) == kinds.end()
                   ? 2
                   : runChild(*kindNamed(args[1]), args[2], args[0] != QLatin1String("--child"));

    int trials = 20;
    unsigned seed = std::random_device()();
    QString only;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seed") && i + 1 < args.size())
            seed = args[++i].toUInt();
        else if (args[i] == QLatin1String("--kind") && i + 1 < args.size())
            only = args[++i];
        else
            trials = args[i].toInt();
    }
    std::printf("crash trials: %d per save kind, seed %u (--seed %u repeats them)\n", trials, seed,
                seed);
    std::fflush(stdout);
    std::mt19937 random(seed);
    int failures = 0;
    for (const SaveKind& kind : kinds) {
        if (only.isEmpty() || kind.name == only) {
            failures += Trials(kind, random).run(trials);
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}
