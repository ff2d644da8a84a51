#include "base/ThreadHelpers.h"

#include <QThread>

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

bool RunOnNewThread(std::function<void()> function, QObject *pContext, std::function<void()> onDone)
{
    auto *pThread = new QThread;
    // No context object: the functor runs on the new thread that emits started().
    QObject::connect(pThread, &QThread::started, std::move(function));
    QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    // Queued to the context's thread: finished() is emitted by the ending thread.
    if (pContext && onDone)
        QObject::connect(pThread, &QThread::finished, pContext, std::move(onDone));
    pThread->start(QThread::InheritPriority);
    if (!pThread->isRunning()) {
        delete pThread;
        return false;
    }
    // The event loop ends as soon as function has returned.
    pThread->exit(0);
    return true;
}

void ForEachOnThreads(int nCount, int nThreads, const std::function<bool(int)> &fnItem)
{
    std::atomic<int> nNext{0};
    std::atomic<bool> bStopped{false};
    auto work = [&]() {
        for (int i = nNext++; i < nCount && !bStopped; i = nNext++) {
            if (!fnItem(i))
                bStopped = true;
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < nThreads && i < nCount; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no more threads: the ones there are finish the list
        }
    }
    work();
    for (std::thread &helper : helpers)
        helper.join();
}
