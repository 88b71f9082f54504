#pragma once

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <deque>
#include <functional>
#include <memory>

class QThread;

namespace kvx {

// Work done on one thread of its own, one piece after another in the order it was given: what
// must not hold the owner's thread up yet must keep its order, or must stay on one thread (a
// database connection belongs to the thread that opened it). A piece hands what it has for
// the owner to deliver(), which calls it on the owner's thread from its event loop. The
// destructor waits until every piece given has been done; what was delivered and not yet
// called is dropped with the owner.
class SerialWork {
public:
    explicit SerialWork(QObject* owner);
    ~SerialWork();
    SerialWork(const SerialWork&) = delete;
    SerialWork& operator=(const SerialWork&) = delete;

    void post(std::function<void()> work);
    // From a piece of work: `call` on the owner's thread.
    void deliver(std::function<void()> call) const;

private:
    void work();

    QObject* m_owner;
    QMutex m_mutex;
    QWaitCondition m_given;
    std::deque<std::function<void()>> m_pieces;
    bool m_ending = false;
    std::unique_ptr<QThread> m_thread;
};

} // namespace kvx
