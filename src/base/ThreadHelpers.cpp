#include "base/ThreadHelpers.h"

#include <QThread>

bool RunOnNewThread(std::function<void()> function)
{
    auto *pThread = new QThread;
    // No context object: the functor runs on the new thread that emits started().
    QObject::connect(pThread, &QThread::started, std::move(function));
    QObject::connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    pThread->start(QThread::InheritPriority);
    if (!pThread->isRunning()) {
        delete pThread;
        return false;
    }
    // The event loop ends as soon as function has returned.
    pThread->exit(0);
    return true;
}
