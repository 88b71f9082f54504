#include "platform/serial_work.h"

#include <QThread>

namespace kvx {

SerialWork::SerialWork(QObject* owner)
    : m_owner(owner)
    , m_thread(QThread::create([this] { work(); })) {
    m_thread->start();
}

SerialWork::~SerialWork() {
    {
        const QMutexLocker lock(&m_mutex);
        m_ending = true;
    }
    m_given.wakeOne();
    m_thread->wait();
}

void SerialWork::post(std::function<void()> work) {
    {
        const QMutexLocker lock(&m_mutex);
        m_pieces.push_back(std::move(work));
    }
    m_given.wakeOne();
}

void SerialWork::deliver(std::function<void()> call) const {
    QMetaObject::invokeMethod(m_owner, std::move(call), Qt::QueuedConnection);
}

void SerialWork::work() {
    for (;;) {
        std::function<void()> piece;
        {
            QMutexLocker lock(&m_mutex);
            while (m_pieces.empty() && !m_ending)
                m_given.wait(&m_mutex);
            if (m_pieces.empty())
                return;
            piece = std::move(m_pieces.front());
            m_pieces.pop_front();
        }
        piece();
    }
}

} // namespace kvx
