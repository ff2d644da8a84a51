#include "base/ThreadHelpers.h"

#include <QThread>

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
