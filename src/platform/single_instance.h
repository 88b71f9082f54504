#pragma once

#include <QString>
#include <memory>

namespace kvx {

class ProcessLock;

// Held for the life of the process; a second process for the same application folder sees
// the lock taken and ends.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& appFolder);
    ~SingleInstanceGuard();
    bool isFirstInstance() const { return m_first; }

private:
    std::unique_ptr<ProcessLock> m_lock;
    bool m_first = false;
};

} // namespace kvx
