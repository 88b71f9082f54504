#include "platform/process_lock.h"

#include <QLockFile>

namespace kvx {

ProcessLock::ProcessLock(const QString& path)
    : m_lock(std::make_unique<QLockFile>(path)) {
    // Never stale by age: only the end of its process frees the lock.
    m_lock->setStaleLockTime(0);
}

ProcessLock::~ProcessLock() = default;

bool ProcessLock::tryLock() {
    return m_lock->tryLock(0);
}

bool ProcessLock::isHeld(const QString& path) {
    ProcessLock probe(path);
    if (probe.tryLock()) {
        probe.m_lock->unlock();
        return false;
    }
    return probe.m_lock->error() == QLockFile::LockFailedError;
}

} // namespace kvx
