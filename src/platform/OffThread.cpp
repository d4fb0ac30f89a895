#include "platform/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace platform {

void RunWhileAnswering(const std::function<void()> &work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    auto done = std::make_shared<std::atomic<bool>>(false);
    QThreadPool::globalInstance()->start([&work, &loop, done] {
        work();
        done->store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The quit may come before the loop runs: it is queued, so it is seen once the loop starts.
    while (!done->load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace platform
