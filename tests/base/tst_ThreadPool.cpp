#include "base/ThreadPool.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace
{
// Lets the test hold tasks inside the pool and see which ones have started.
class Gate
{
public:
    void Open(int nTask)
    {
        std::lock_guard<std::mutex> lock(mutex);
        opened.push_back(nTask);
        cv.notify_all();
    }
    void WaitOpen(int nTask)
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock,
                [&] { return std::find(opened.begin(), opened.end(), nTask) != opened.end(); });
    }
    void Started(int nTask)
    {
        std::lock_guard<std::mutex> lock(mutex);
        started.push_back(nTask);
        cv.notify_all();
    }
    // Generous deadline: only a broken pool ever reaches it.
    bool WaitStarted(size_t nCount)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(20),
                           [&] { return started.size() >= nCount; });
    }
    std::vector<int> StartedTasks()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return started;
    }

private:
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<int> opened;
    std::vector<int> started;
};

struct Counter {
    int Add(int a, int b)
    {
        nCalls++;
        return a + b;
    }
    std::atomic<int> nCalls{0};
};
} // namespace

class tst_ThreadPool : public QObject
{
    Q_OBJECT
private slots:
    void twelveTasksOnTenWorkersStartInQueueOrder();
    void destructorDrainsQueueAndLaterEnqueueThrows();
    void droppedFutureDoesNotWait();
    void futureCarriesResultAndException();
    void memberFunctionWithObjectPointer();
    void argumentsAreCopiedAtEnqueue();
    void zeroWorkersNeverRun();
    void appPoolHasTenWorkers();
};

void tst_ThreadPool::twelveTasksOnTenWorkersStartInQueueOrder()
{
    Gate gate;
    {
        ThreadPool pool(10);
        for (int i = 0; i < 12; ++i) {
            pool.enqueue([&gate, i] {
                gate.Started(i);
                gate.WaitOpen(i);
            });
        }
        QVERIFY(gate.WaitStarted(10));
        std::vector<int> started = gate.StartedTasks();
        QCOMPARE(started.size(), size_t(10));
        std::sort(started.begin(), started.end());
        for (int i = 0; i < 10; ++i)
            QCOMPARE(started[i], i);

        // Each freed worker takes the oldest waiting task.
        gate.Open(4);
        QVERIFY(gate.WaitStarted(11));
        QCOMPARE(gate.StartedTasks().at(10), 10);
        gate.Open(7);
        QVERIFY(gate.WaitStarted(12));
        QCOMPARE(gate.StartedTasks().at(11), 11);
        for (int i = 0; i < 12; ++i)
            gate.Open(i);
    }
}

void tst_ThreadPool::destructorDrainsQueueAndLaterEnqueueThrows()
{
    Gate gate;
    std::atomic<int> nRun{0};
    auto *pPool = new ThreadPool(1);
    pPool->enqueue([&] {
        gate.Started(0);
        gate.WaitOpen(0);
        nRun++;
    });
    for (int i = 0; i < 5; ++i)
        pPool->enqueue([&] { nRun++; });
    QVERIFY(gate.WaitStarted(1));

    // The destructor blocks on the busy worker; meanwhile enqueue must start
    // failing once it has set the stop flag.
    std::thread destroyer([pPool] { delete pPool; });
    int nLate = 0;
    QString sError;
    for (;;) {
        try {
            pPool->enqueue([&] { nRun++; });
            ++nLate;
        } catch (const std::runtime_error &e) {
            sError = QString::fromLatin1(e.what());
            break;
        }
        std::this_thread::yield();
    }
    QCOMPARE(sError, QStringLiteral("enqueue on stopped ThreadPool"));
    gate.Open(0);
    destroyer.join();
    QCOMPARE(nRun.load(), 6 + nLate);
}

void tst_ThreadPool::droppedFutureDoesNotWait()
{
    Gate gate;
    ThreadPool pool(2);
    std::atomic<bool> bDone{false};
    // The future is dropped at once; it must not block until the task ends.
    pool.enqueue([&] {
        gate.WaitOpen(1);
        bDone = true;
        gate.Started(1);
    });
    QVERIFY(!bDone);
    gate.Open(1);
    QVERIFY(gate.WaitStarted(1));
    QVERIFY(bDone);
}

void tst_ThreadPool::futureCarriesResultAndException()
{
    ThreadPool pool(2);
    auto sum = pool.enqueue([](int a, int b) { return a * b; }, 6, 7);
    QCOMPARE(sum.get(), 42);
    auto failing = pool.enqueue([]() -> int { throw std::logic_error("task failed"); });
    QVERIFY_EXCEPTION_THROWN(failing.get(), std::logic_error);
    // The worker survived the throwing task.
    QCOMPARE(pool.enqueue([] { return 1; }).get(), 1);
}

void tst_ThreadPool::memberFunctionWithObjectPointer()
{
    ThreadPool pool(1);
    Counter counter;
    QCOMPARE(pool.enqueue(&Counter::Add, &counter, 2, 3).get(), 5);
    QCOMPARE(counter.nCalls.load(), 1);
}

void tst_ThreadPool::argumentsAreCopiedAtEnqueue()
{
    Gate gate;
    ThreadPool pool(1);
    pool.enqueue([&] { gate.WaitOpen(0); });
    QString sText = "before";
    auto result = pool.enqueue([](const QString &s) { return s; }, sText);
    sText = "after";
    gate.Open(0);
    QCOMPARE(result.get(), QStringLiteral("before"));
}

void tst_ThreadPool::zeroWorkersNeverRun()
{
    std::atomic<bool> bRan{false};
    {
        ThreadPool pool(0);
        auto future = pool.enqueue([&] { bRan = true; });
        QCOMPARE(future.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    }
    QVERIFY(!bRan);
}

void tst_ThreadPool::appPoolHasTenWorkers()
{
    // Ten tasks that each wait for all ten to have started only finish when
    // ten workers run side by side.
    Gate gate;
    std::vector<std::future<void>> futures;
    for (int i = 0; i < 10; ++i) {
        futures.push_back(AppThreadPool().enqueue([&gate, i] {
            gate.Started(i);
            gate.WaitOpen(0);
        }));
    }
    QVERIFY(gate.WaitStarted(10));
    gate.Open(0);
    for (auto &future : futures)
        future.get();
}

QTEST_GUILESS_MAIN(tst_ThreadPool)
#include "tst_ThreadPool.moc"
