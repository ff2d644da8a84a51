#include "update/TransferRate.h"

void TransferRate::Add(qint64 nMs, qint64 nBytes)
{
    if (!samples.isEmpty() && nMs < samples.constLast().first)
        return; // the clock does not go back
    samples.append(qMakePair(nMs, nBytes));
    // One sample at or before the window's start is kept as its base.
    while (samples.size() > 2 && samples.at(1).first <= nMs - WindowMs)
        samples.removeFirst();
}

qint64 TransferRate::BytesPerSecond() const
{
    if (samples.size() < 2)
        return 0;
    const qint64 nMs = samples.constLast().first - samples.constFirst().first;
    const qint64 nBytes = samples.constLast().second - samples.constFirst().second;
    if (nMs <= 0 || nBytes <= 0)
        return 0;
    return nBytes * 1000 / nMs;
}

qint64 TransferRate::SecondsLeft(qint64 nTotal) const
{
    if (samples.isEmpty())
        return -1;
    const qint64 nLeft = nTotal - samples.constLast().second;
    if (nLeft <= 0)
        return 0;
    const qint64 nSpeed = BytesPerSecond();
    if (nSpeed <= 0)
        return -1;
    return (nLeft + nSpeed - 1) / nSpeed;
}
