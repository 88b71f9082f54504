#include "platform/worker_thread.h"

namespace kvx {

WorkerThreads::~WorkerThreads() {
    for (QThread* thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

bool WorkerThreads::isBusy() const {
    for (const QThread* thread : m_threads) {
        if (!thread->isFinished())
            return true;
    }
    return false;
}

void WorkerThreads::track(QThread* thread) {
    // Threads that have ended are let go as new ones start.
    for (qsizetype i = m_threads.size() - 1; i >= 0; --i) {
        if (m_threads[i]->isFinished())
            delete m_threads.takeAt(i);
    }
    m_threads.append(thread);
    thread->start();
}

} // namespace kvx
