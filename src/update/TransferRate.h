#pragma once
// The speed of a transfer and the time it still needs, from samples of the
// bytes received so far. The speed is that of the last few seconds, so a
// stall shows at once and a burst does not promise too much for long.

#include <QList>
#include <QPair>
#include <QtGlobal>

class TransferRate
{
public:
    // nBytes received in all by the time nMs (of a monotonic clock).
    void Add(qint64 nMs, qint64 nBytes);
    // Bytes per second over the last samples; 0 until there are two.
    qint64 BytesPerSecond() const;
    // Seconds until nTotal bytes at the present speed; -1 while unknown.
    qint64 SecondsLeft(qint64 nTotal) const;

    static constexpr qint64 WindowMs = 5000;

private:
    QList<QPair<qint64, qint64>> samples; // (ms, bytes), oldest first
};
