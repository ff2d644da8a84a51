#include "update/TaskCounter.h"

#include <QMutex>
#include <QMutexLocker>

struct TaskCounter::State {
    QMutex mutex;
    int nCount = 0;
    quint64 nGeneration = 1;

    bool IsRunning(quint64 nBatch) const { return nBatch == nGeneration && nCount > 0; }
};

TaskCounter::TaskCounter() : pState(std::make_shared<State>()) {}

bool TaskCounter::Ticket::IsCurrent() const
{
    if (!pState)
        return false;
    QMutexLocker lock(&pState->mutex);
    return pState->IsRunning(nGeneration);
}

bool TaskCounter::Ticket::Add() const
{
    if (!pState)
        return false;
    QMutexLocker lock(&pState->mutex);
    if (!pState->IsRunning(nGeneration))
        return false;
    ++pState->nCount;
    return true;
}

bool TaskCounter::Ticket::Done() const
{
    if (!pState)
        return false;
    QMutexLocker lock(&pState->mutex);
    if (!pState->IsRunning(nGeneration))
        return false;
    --pState->nCount;
    return pState->nCount == 0;
}

quint64 TaskCounter::Add(bool *pNewBatch)
{
    QMutexLocker lock(&pState->mutex);
    const bool bNew = pState->nCount == 0;
    if (pNewBatch)
        *pNewBatch = bNew;
    if (bNew)
        ++pState->nGeneration; // every batch has its own number
    ++pState->nCount;
    return pState->nGeneration;
}

bool TaskCounter::AddTo(quint64 nBatch)
{
    return TicketFor(nBatch).Add();
}

bool TaskCounter::Done(quint64 nBatch)
{
    return TicketFor(nBatch).Done();
}

bool TaskCounter::IsCurrent(quint64 nBatch) const
{
    QMutexLocker lock(&pState->mutex);
    return pState->IsRunning(nBatch);
}

TaskCounter::Ticket TaskCounter::TicketFor(quint64 nBatch) const
{
    return Ticket(pState, nBatch);
}

void TaskCounter::Reset()
{
    QMutexLocker lock(&pState->mutex);
    pState->nCount = 0;
    ++pState->nGeneration;
}

int TaskCounter::load() const
{
    QMutexLocker lock(&pState->mutex);
    return pState->nCount;
}

TaskCounter &TaskCounter::operator=(int nValue)
{
    QMutexLocker lock(&pState->mutex);
    ++pState->nGeneration;
    pState->nCount = qMax(0, nValue);
    return *this;
}
