#include "platform/background_work.h"

#include <QThread>

namespace kvx {

BackgroundWork::BackgroundWork(QObject* owner, std::function<void(const QString&)> failed)
    : m_owner(owner)
    , m_failed(std::move(failed)) {}

BackgroundWork::~BackgroundWork() {
    if (m_thread)
        m_thread->wait();
}

void BackgroundWork::startThread(std::function<void()> work, std::function<void()> deliver) {
    // The thread of the previous piece has posted its result and is ending, if not gone.
    if (m_thread)
        m_thread->wait();
    m_thread.reset(QThread::create(
        [owner = m_owner, work = std::move(work), deliver = std::move(deliver)]() mutable {
            work();
            // What the work held (a document of many megabytes) is freed here, not on the
            // owner's thread when this thread is next waited for.
            work = nullptr;
            QMetaObject::invokeMethod(owner, std::move(deliver), Qt::QueuedConnection);
        }));
    m_thread->start();
}

} // namespace kvx
