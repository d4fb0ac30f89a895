// Work run on a worker while the caller's thread keeps answering events.
#include "platform/OffThread.h"

#include <atomic>
#include <memory>

#include <QSemaphore>
#include <QThreadPool>
#include <QTest>
#include <QTimer>

class tst_OffThread : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eventsAnsweredMeanwhile();
    void quickWorkLeavesNothingBehind();
    void globalPoolLeftToThePaint();
};

void tst_OffThread::eventsAnsweredMeanwhile()
{
    // The work waits for a timer of the calling thread: it ends only if that thread answers.
    QSemaphore released;
    QTimer::singleShot(0, this, [&released] { released.release(); });
    bool ran = false;
    platform::RunWhileAnswering([&] {
        ran = released.tryAcquire(1, 30000);
    });
    QVERIFY(ran);
}

void tst_OffThread::quickWorkLeavesNothingBehind()
{
    // Work that ends before the caller waits: the worker must not reach the caller's loop, gone
    // by then (the address checks of this test's build see it).
    int runs = 0;
    for (int i = 0; i < 200000; ++i)
        platform::RunWhileAnswering([&runs] { ++runs; });
    QCoreApplication::processEvents();
    QCOMPARE(runs, 200000);
}

void tst_OffThread::globalPoolLeftToThePaint()
{
    // The paint engine waits for the global pool's threads to fill tall shapes: a write or a free
    // there would hold the window's paint for as long as it runs.
    int busy = -1;
    platform::RunWhileAnswering([&busy] { busy = QThreadPool::globalInstance()->activeThreadCount(); });
    QCOMPARE(busy, 0);
    struct Noted {
        std::shared_ptr<std::atomic<int>> busy = std::make_shared<std::atomic<int>>(-1);
        Noted() = default;
        Noted(Noted &&) = default;
        ~Noted()
        {
            if (busy)
                busy->store(QThreadPool::globalInstance()->activeThreadCount());
        }
    } value;
    const auto freed = value.busy;
    platform::FreeElsewhere(std::move(value));
    platform::Workers().waitForDone();
    QCOMPARE(freed->load(), 0);
}

QTEST_GUILESS_MAIN(tst_OffThread)
#include "tst_OffThread.moc"
