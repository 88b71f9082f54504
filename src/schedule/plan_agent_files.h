#pragma once

#include <QCryptographicHash>
#include <QString>

// What the console and the plan agent share besides the schedule file: the agent's program,
// the lock that says it runs, its autostart entry.
namespace kvx::PlanAgentFiles {

// The agent program in the application folder.
inline QString programRelativePath() {
#ifdef Q_OS_WIN
    return QStringLiteral("\\KVXTimer.exe");
#else
    return QStringLiteral("\\KVXTimer");
#endif
}

// Held by the running agent of the application folder, so that one runs per folder and the
// console can ask whether it runs.
inline QString lockRelativePath() {
    return QStringLiteral("\\KVXTimer.lock");
}

// Held while a schedule runs, by the resident agent or by a run at once, so that no two
// processes run it at the same moment. The code is hashed: codes that differ only in letter
// case are two schedules, also where file names ignore letter case.
inline QString runLockRelativePath(const QString& code) {
    const QByteArray hash =
        QCryptographicHash::hash(code.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("\\KVXTimer-%1.lock").arg(QString::fromLatin1(hash));
}

inline QString autostartName() {
    return QStringLiteral("M6KVXTimer");
}

inline QString alreadyRunningMessage() {
    return QStringLiteral("M6KVX计划监控程序已运行");
}

} // namespace kvx::PlanAgentFiles
