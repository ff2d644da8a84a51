#include "base/ThreadPool.h"

ThreadPool::ThreadPool(size_t threads)
{
    workers.reserve(threads);
    for (size_t i = 0; i < threads; ++i)
        workers.emplace_back([this] { WorkerLoop(); });
}

ThreadPool::~ThreadPool()
{
    {
        std::unique_lock<std::mutex> lock(queueMutex);
        stop = true;
    }
    condition.notify_all();
    for (std::thread &worker : workers)
        worker.join();
}

void ThreadPool::WorkerLoop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(queueMutex);
            condition.wait(lock, [this] { return stop || !tasks.empty(); });
            if (stop && tasks.empty())
                return;
            task = std::move(tasks.front());
            tasks.pop();
        }
        // A packaged task keeps whatever the callable throws in its future.
        task();
    }
}

ThreadPool &AppThreadPool()
{
    // Safe for callers from other static initialisers too.
    static ThreadPool pool(10);
    return pool;
}

namespace
{
// Created before main() even when nothing uses it that early.
ThreadPool &g_appThreadPool = AppThreadPool();
} // namespace
