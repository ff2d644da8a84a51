#pragma once
#include <QCoreApplication>
#include <QPointer>
#include <functional>

class QObject;

// Runs f(p) on the GUI thread, later, if the object p still exists by then.
// Safe from any thread, even while the object is being destroyed.
template <class T, class F> void PostIfAlive(const QPointer<T> &p, F f)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [p, f]() {
            if (p)
                f(p.data());
        },
        Qt::QueuedConnection);
}

// Runs function once on a fresh QThread that deletes itself afterwards. With
// pContext, onDone then runs on pContext's thread once function has returned
// (and everything function posted to that thread before has been delivered);
// it is dropped when pContext is gone by then. Returns false when the thread
// could not be started (nothing runs then, onDone neither).
bool RunOnNewThread(std::function<void()> function, QObject *pContext = nullptr,
                    std::function<void()> onDone = {});

// Calls fnItem(i) once for each i from 0 to nCount - 1 on up to nThreads
// threads, the calling one among them, and returns when every call has
// returned. Items are taken in rising order; once a call returns false no
// further item is started. When the system gives no more threads, the ones
// there are finish the list.
void ForEachOnThreads(int nCount, int nThreads, const std::function<bool(int)> &fnItem);
