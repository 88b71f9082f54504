#include "platform/background_work.h"

#include <QEventLoop>
#include <QThread>
#include <exception>
#include <memory>

namespace kvx {

void runInBackground(const std::function<void()>& work) {
    std::exception_ptr failure;
    std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    // A finished signal sent before the loop runs waits in this thread's queue and ends it.
    if (!thread->isFinished())
        loop.exec();
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace kvx
