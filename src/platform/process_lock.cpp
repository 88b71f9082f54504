#include "platform/process_lock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#endif

namespace kvx {

namespace {

QString unusable(const QString& path, const QString& reason) {
    return QStringLiteral("无法使用锁文件") + QDir::toNativeSeparators(path) +
           QStringLiteral("：") + reason;
}

// Whether the process lives and runs the program that took the lock (a number taken over by
// another program after a crash does not count), as QLockFile itself judges it.
bool processRuns(qint64 pid, const QString& program) {
#ifdef Q_OS_WIN
    Q_UNUSED(program);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    if (!QFileInfo::exists(proc))
        return true; // no process file system to ask further
    // An ended process not yet reaped by its parent holds no lock.
    QFile stat(proc + QStringLiteral("/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const qsizetype end = line.lastIndexOf(')');
        if (end >= 0 && line.mid(end + 2, 1) == "Z")
            return false;
    }
    QString executable = QFile::symLinkTarget(proc + QStringLiteral("/exe"));
    executable.remove(QStringLiteral(" (deleted)")); // its program was replaced meanwhile
    return executable.isEmpty() || program.isEmpty() ||
           QFileInfo(executable).fileName() == QFileInfo(program).fileName();
#endif
}

} // namespace

ProcessLock::ProcessLock(const QString& path)
    : m_lock(std::make_unique<QLockFile>(path)) {
    // Never stale by age: only the end of its process frees the lock.
    m_lock->setStaleLockTime(0);
}

ProcessLock::~ProcessLock() = default;

ProcessLock::State ProcessLock::tryLock(QString* error) {
    const QString path = m_lock->fileName();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_lock->tryLock(0))
            return State::Free;
        switch (m_lock->error()) {
        case QLockFile::LockFailedError:
            break;
        case QLockFile::PermissionError:
            if (error)
                *error = unusable(path, QStringLiteral("没有在该目录建立文件的权限"));
            return State::Unusable;
        default:
            if (error)
                *error = unusable(path, QStringLiteral("无法建立该文件（目录不存在或磁盘已满）"));
            return State::Unusable;
        }
        // QLockFile takes a dead owner's lock over, but not one whose process has ended and
        // waits to be reaped; the probe knows it is free.
        const State found = probe(path, error);
        if (found != State::Free)
            return found;
        m_lock->removeStaleLockFile();
    }
    return State::Held;
}

ProcessLock::State ProcessLock::probe(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        const QFileInfo folder(info.absolutePath());
        if (folder.isDir() && folder.isWritable())
            return State::Free;
        if (error)
            *error = unusable(path, folder.isDir() ? QStringLiteral("该目录不可写")
                                                   : QStringLiteral("目录不存在"));
        return State::Unusable;
    }
    qint64 pid = 0;
    QString host;
    QString program;
    if (!QLockFile(path).getLockInfo(&pid, &host, &program)) {
        if (info.isFile() && info.isReadable())
            return State::Held; // its owner is writing it this moment
        if (error)
            *error = unusable(path, QStringLiteral("无法读取"));
        return State::Unusable;
    }
    // Another computer's process cannot be asked after; its lock counts.
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return State::Held;
    return processRuns(pid, program) ? State::Held : State::Free;
}

} // namespace kvx
