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
    // The worker never touches the loop: it lives on this stack, which is gone once the work is
    // seen done. The quit goes through the application, which finds the loop only while it waits.
    struct Waiting {
        std::atomic<bool> done = false;
        QEventLoop *loop = nullptr; // this thread's alone
    };
    QEventLoop loop;
    auto waiting = std::make_shared<Waiting>();
    waiting->loop = &loop;
    QThreadPool::globalInstance()->start([&work, waiting, app] {
        work();
        waiting->done.store(true);
        QMetaObject::invokeMethod(app, [waiting] {
            if (waiting->loop)
                waiting->loop->quit();
        }, Qt::QueuedConnection);
    });
    // The quit may come before the loop runs: it is queued, so it is seen once the loop starts.
    while (!waiting->done.load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting->loop = nullptr;
}

} // namespace platform
