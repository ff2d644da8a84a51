#include "base/ThreadHelpers.h"

#include <QtTest>

class tst_ThreadHelpers : public QObject
{
    Q_OBJECT
private slots:
    void runsOnceOnAnotherThreadAndCleansUp();
    void severalThreadsRunIndependently();
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

QTEST_MAIN(tst_ThreadHelpers)
#include "tst_ThreadHelpers.moc"
