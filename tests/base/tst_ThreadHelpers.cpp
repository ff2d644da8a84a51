#include "base/ThreadHelpers.h"

#include <QtTest>
#include <thread>

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

QTEST_MAIN(tst_ThreadHelpers)
#include "tst_ThreadHelpers.moc"
