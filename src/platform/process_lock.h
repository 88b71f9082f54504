#pragma once

#include <QString>
#include <memory>

class QLockFile;

namespace kvx {

// A lock file that one living process holds at a time. The lock of a process that has ended,
// even by a crash, is taken over by the next one.
class ProcessLock {
public:
    enum class State {
        Free,    // taking it: this process holds it now; asking: nobody holds it
        Held,    // another living process holds it
        Unusable // the lock file cannot be made or read where it is to be (the reason given)
    };

    explicit ProcessLock(const QString& path);
    ~ProcessLock();

    // Takes the lock when it is free; *error says why it is unusable.
    State tryLock(QString* error = nullptr);
    // Whether a living process holds the lock at the path, found from the owner the lock file
    // names, without taking it: a process starting meanwhile still gets it.
    static State probe(const QString& path, QString* error = nullptr);

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace kvx
