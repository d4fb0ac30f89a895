#include "platform/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

namespace platform {

QThreadPool &Workers()
{
    // Kept for the process. The application's post routines run while it still takes queued calls,
    // so work that ends with one is waited for safely there.
    static QThreadPool *const pool = [] {
        auto *made = new QThreadPool;
        made->setObjectName(QStringLiteral("zarun-workers"));
        qAddPostRoutine([] { Workers().waitForDone(); });
        return made;
    }();
    return *pool;
}

void RunWhileAnswering(const std::function<void()> &work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    // The worker never touches the loop: it lives on this stack, which is gone once the work is
    // seen done. The quit goes through the application, which finds the loop only while it waits.
    QEventLoop loop;
    auto done = std::make_shared<std::atomic<bool>>(false);
    Workers().start([&work, done, app, waiting = QPointer<QEventLoop>(&loop)] {
        work();
        done->store(true);
        QMetaObject::invokeMethod(app, [waiting] {
            if (waiting)
                waiting->quit();
        }, Qt::QueuedConnection);
    });
    // The quit may come before the loop runs: it is queued, so it is seen once the loop starts.
    while (!done->load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace platform
