#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace kvx {

// A lock file that one living process holds at a time. The lock of a process that has ended,
// even by a crash, is taken over by the next one.
class ProcessLock {
public:
    explicit ProcessLock(const QString& path);
    ~ProcessLock();

    // False when another living process holds the lock (or the file cannot be made).
    bool tryLock();
    // Whether a living process holds the lock at the path; asks without keeping it.
    static bool isHeld(const QString& path);

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace kvx
