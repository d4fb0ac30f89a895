// Work run on a worker while the caller's thread keeps answering events.
#include "platform/OffThread.h"

#include <QSemaphore>
#include <QTest>
#include <QTimer>

class tst_OffThread : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eventsAnsweredMeanwhile();
    void quickWorkLeavesNothingBehind();
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

QTEST_GUILESS_MAIN(tst_OffThread)
#include "tst_OffThread.moc"
