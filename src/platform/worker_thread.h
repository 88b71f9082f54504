#pragma once

#include <QList>
#include <QObject>
#include <QThread>
#include <utility>

namespace kvx {

// Blocking work (waiting for a mail server, reading or writing a large document) done on a
// thread of its own, its result handed back to the owner's thread by a queued call, so that
// the owner's thread keeps turning its event loop and no window waits inside a nested one.
//
// The owner keeps one of these as its last member: its destructor waits for work still
// running, so that work never outlives what it uses and a result never reaches an object
// that is gone (a result not yet delivered is dropped with its receiver).
class WorkerThreads {
public:
    WorkerThreads() = default;
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs `work()` on a new thread, then `done(result)` on the thread of `receiver`. The work
    // may use only what it was given and what nobody changes while it runs.
    template <typename Work, typename Done> void start(QObject* receiver, Work work, Done done) {
        track(QThread::create([receiver, work = std::move(work), done = std::move(done)] {
            QMetaObject::invokeMethod(
                receiver, [done, result = work()] { done(result); }, Qt::QueuedConnection);
        }));
    }

    // True while some work has not ended.
    bool isBusy() const;

private:
    void track(QThread* thread);

    QList<QThread*> m_threads;
};

} // namespace kvx
