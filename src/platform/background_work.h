#pragma once

#include <QObject>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace kvx {

// Work that would hold a window up (reading, checking or writing a document of many
// megabytes) done on a thread of its own, one piece at a time; its result comes back to the
// owner's thread by a queued call, from the owner's event loop. The work must not touch
// widgets or anything the owner's thread may change meanwhile: it gets its data by value or
// shares it. The owner's destructor waits for work under way, and a result that comes after
// the owner has gone is dropped.
class BackgroundWork {
public:
    // `failed` gets what an exception thrown by the work says.
    BackgroundWork(QObject* owner, std::function<void(const QString& error)> failed);
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Starts `work` on its thread; `done` gets its result on the owner's thread.
    template <typename Work, typename Done> void start(Work work, Done done) {
        using Result = decltype(work());
        auto result = std::make_shared<std::optional<Result>>();
        auto error = std::make_shared<QString>();
        startThread(
            [result, error, work = std::move(work)]() mutable {
                try {
                    result->emplace(work());
                } catch (const std::exception& exception) {
                    *error = QString::fromLocal8Bit(exception.what());
                }
            },
            [this, result, error, done = std::move(done)]() mutable {
                if (result->has_value())
                    done(std::move(**result));
                else
                    m_failed(*error);
            });
    }

private:
    void startThread(std::function<void()> work, std::function<void()> deliver);

    QObject* m_owner;
    std::function<void(const QString&)> m_failed;
    std::unique_ptr<QThread> m_thread;
};

} // namespace kvx
