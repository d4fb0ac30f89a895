#include "platform/OffThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSemaphore>
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

void PreparePaintThreads()
{
    QThreadPool *painting = QThreadPool::globalInstance();
    painting->setExpiryTimeout(-1);
    // Each task holds its thread until all have one: as many threads as the pool may have.
    struct Gathering {
        std::atomic<int> left;
        QSemaphore all;
    };
    const int count = painting->maxThreadCount();
    auto gathering = std::make_shared<Gathering>();
    gathering->left = count;
    for (int i = 0; i < count; ++i)
        painting->start([gathering, count] {
            if (gathering->left.fetch_sub(1) == 1)
                gathering->all.release(count - 1);
            else
                gathering->all.acquire();
        });
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
