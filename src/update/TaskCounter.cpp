#include "update/TaskCounter.h"

#include <QMutexLocker>

quint64 TaskCounter::Add(bool *pNewBatch)
{
    QMutexLocker lock(&mutex);
    if (pNewBatch)
        *pNewBatch = nCount == 0;
    if (nCount == 0)
        ++nGeneration; // every batch has its own number
    ++nCount;
    return nGeneration;
}

bool TaskCounter::AddTo(quint64 nBatch)
{
    QMutexLocker lock(&mutex);
    if (nBatch != nGeneration || nCount == 0)
        return false;
    ++nCount;
    return true;
}

bool TaskCounter::Done(quint64 nBatch)
{
    QMutexLocker lock(&mutex);
    if (nBatch != nGeneration || nCount == 0)
        return false;
    --nCount;
    return nCount == 0;
}

bool TaskCounter::IsCurrent(quint64 nBatch) const
{
    QMutexLocker lock(&mutex);
    return nBatch == nGeneration;
}

void TaskCounter::Reset()
{
    QMutexLocker lock(&mutex);
    nCount = 0;
    ++nGeneration;
}

int TaskCounter::load() const
{
    QMutexLocker lock(&mutex);
    return nCount;
}

TaskCounter &TaskCounter::operator=(int nValue)
{
    Q_ASSERT(nValue == 0);
    Reset();
    return *this;
}
