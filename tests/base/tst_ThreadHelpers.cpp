#include "base/ThreadHelpers.h"

#include <QtTest>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

class tst_ThreadHelpers : public QObject
{
    Q_OBJECT
private slots:
    void runsOnceOnAnotherThreadAndCleansUp();
    void severalThreadsRunIndependently();
    void doneRunsOnTheContextsThreadAfterwards();
    void doneIsDroppedWithItsContext();
    void postReachesALiveObjectOnTheGuiThread();
    void postToAGoneObjectIsDropped();
    void forEachTakesEveryItemOnce_data();
    void forEachTakesEveryItemOnce();
    void forEachRunsItemsSideBySide();
    void forEachStartsNoItemAfterFalse();
};

void tst_ThreadHelpers::runsOnceOnAnotherThreadAndCleansUp()
{
    QAtomicInt nCalls;
    QMutex mutex;
    QPointer<QThread> pRunThread;
    bool bOtherThread = false;
    QVERIFY(RunOnNewThread([&] {
        QMutexLocker locker(&mutex);
        // Taken while the thread object certainly exists.
        pRunThread = QThread::currentThread();
        bOtherThread = QThread::currentThread() != qApp->thread();
        nCalls.ref();
    }));
    QTRY_COMPARE(nCalls.loadAcquire(), 1);
    {
        QMutexLocker locker(&mutex);
        QVERIFY(bOtherThread);
    }
    // The thread's event loop ends by itself and the object is deleted.
    QTRY_VERIFY(pRunThread.isNull());
    QCOMPARE(nCalls.loadAcquire(), 1);
}

void tst_ThreadHelpers::severalThreadsRunIndependently()
{
    QSemaphore finished;
    QSemaphore release;
    // Two at once: the first waits for the second, so they cannot share a thread.
    QVERIFY(RunOnNewThread([&] {
        release.acquire();
        finished.release();
    }));
    QVERIFY(RunOnNewThread([&] {
        release.release();
        finished.release();
    }));
    QVERIFY(finished.tryAcquire(2, 20000));
}

void tst_ThreadHelpers::doneRunsOnTheContextsThreadAfterwards()
{
    QObject context;
    QStringList slOrder;
    bool bDoneOnContextThread = false;
    QVERIFY(RunOnNewThread(
        [&] {
            // Posted before the function returns: delivered before onDone.
            QMetaObject::invokeMethod(
                &context, [&] { slOrder << "posted"; }, Qt::QueuedConnection);
        },
        &context,
        [&] {
            slOrder << "done";
            bDoneOnContextThread = QThread::currentThread() == context.thread();
        }));
    QTRY_COMPARE(slOrder, (QStringList{"posted", "done"}));
    QVERIFY(bDoneOnContextThread);
}

void tst_ThreadHelpers::doneIsDroppedWithItsContext()
{
    QSemaphore started;
    QSemaphore go;
    QPointer<QThread> pRunThread;
    bool bDone = false;
    auto *pContext = new QObject;
    QVERIFY(RunOnNewThread(
        [&] {
            pRunThread = QThread::currentThread();
            started.release();
            go.acquire();
        },
        pContext, [&] { bDone = true; }));
    QVERIFY(started.tryAcquire(1, 20000));
    delete pContext;
    go.release();
    // The thread has ended and gone; its end found no context to run onDone in.
    QTRY_VERIFY(pRunThread.isNull());
    QCoreApplication::processEvents();
    QVERIFY(!bDone);
}

void tst_ThreadHelpers::postReachesALiveObjectOnTheGuiThread()
{
    QObject target;
    const QPointer<QObject> pTarget(&target);
    QObject *pReached = nullptr;
    QThread *pThread = nullptr;
    std::thread worker([&] {
        PostIfAlive(pTarget, [&](QObject *p) {
            pReached = p;
            pThread = QThread::currentThread();
        });
    });
    worker.join();
    QCOMPARE(pReached, nullptr); // later, not during the call
    QTRY_COMPARE(pReached, &target);
    QCOMPARE(pThread, qApp->thread());
}

void tst_ThreadHelpers::postToAGoneObjectIsDropped()
{
    auto *pTarget = new QObject;
    int nCalls = 0;
    std::thread worker(
        [&, p = QPointer<QObject>(pTarget)] { PostIfAlive(p, [&](QObject *) { ++nCalls; }); });
    worker.join();
    delete pTarget; // before the posted call is delivered
    // A marker posted afterwards arrives after it: by then it has been dropped.
    bool bMarker = false;
    QMetaObject::invokeMethod(
        qApp, [&] { bMarker = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(bMarker);
    QCOMPARE(nCalls, 0);
}

void tst_ThreadHelpers::forEachTakesEveryItemOnce_data()
{
    QTest::addColumn<int>("nCount");
    QTest::addColumn<int>("nThreads");
    QTest::newRow("no items") << 0 << 4;
    QTest::newRow("one item, several threads") << 1 << 4;
    QTest::newRow("one thread") << 7 << 1;
    QTest::newRow("no thread asked for") << 7 << 0;
    QTest::newRow("more threads than items") << 3 << 16;
    QTest::newRow("many items") << 500 << 4;
}

void tst_ThreadHelpers::forEachTakesEveryItemOnce()
{
    QFETCH(int, nCount);
    QFETCH(int, nThreads);
    std::vector<std::atomic<int>> calls(static_cast<size_t>(nCount));
    QMutex mutex;
    std::set<std::thread::id> threads;
    ForEachOnThreads(nCount, nThreads, [&](int i) {
        ++calls[size_t(i)];
        QMutexLocker locker(&mutex);
        threads.insert(std::this_thread::get_id());
        return true;
    });
    for (int i = 0; i < nCount; ++i)
        QCOMPARE(calls[size_t(i)].load(), 1);
    QVERIFY(int(threads.size()) <= qMax(1, qMin(nThreads, nCount)));
    if (nCount > 0 && nThreads <= 1)
        QVERIFY(threads == std::set<std::thread::id>{std::this_thread::get_id()});
}

void tst_ThreadHelpers::forEachRunsItemsSideBySide()
{
    // The first item waits for the second: they must run on two threads at once.
    QSemaphore second;
    bool bMet = false;
    ForEachOnThreads(2, 2, [&](int i) {
        if (i == 1)
            second.release();
        else
            bMet = second.tryAcquire(1, 20000);
        return true;
    });
    QVERIFY(bMet);
}

void tst_ThreadHelpers::forEachStartsNoItemAfterFalse()
{
    QList<int> called;
    ForEachOnThreads(10, 1, [&](int i) {
        called << i;
        return i != 3;
    });
    QCOMPARE(called, QList<int>({0, 1, 2, 3}));
}

QTEST_MAIN(tst_ThreadHelpers)
#include "tst_ThreadHelpers.moc"
