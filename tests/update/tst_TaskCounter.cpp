// The download flow's busy counter across a device removal.

#include "update/TaskCounter.h"

#include <QtTest>

class tst_TaskCounter : public QObject
{
    Q_OBJECT

private slots:
    void batchEndsWithItsLastPiece();
    void abandonedWorkCannotEndANewerBatch();
    void abandonedRequestQueuesNothing();
    void ticketOutlivesCounter();
    void ticketAddsAndEndsWorkOfItsBatch();
};

void tst_TaskCounter::batchEndsWithItsLastPiece()
{
    TaskCounter counter;
    bool bNew = false;
    const quint64 nBatch = counter.Add(&bNew);
    QVERIFY(bNew);
    QVERIFY(counter.AddTo(nBatch)); // a download queued by the request
    counter.Add(&bNew);
    QVERIFY(!bNew);
    QCOMPARE(counter.load(), 3);
    QVERIFY(!counter.Done(nBatch));
    QVERIFY(!counter.Done(nBatch));
    QVERIFY(counter.Done(nBatch));
    QCOMPARE(int(counter), 0);
}

void tst_TaskCounter::abandonedWorkCannotEndANewerBatch()
{
    TaskCounter counter;
    const quint64 nOld = counter.Add();
    counter.AddTo(nOld);
    counter = 0; // the device went away
    QCOMPARE(counter.load(), 0);
    QVERIFY(!counter.Done(nOld));
    QCOMPARE(counter.load(), 0); // never below 0

    bool bNew = false;
    const quint64 nNew = counter.Add(&bNew);
    QVERIFY(bNew);
    QVERIFY(nNew != nOld);
    QVERIFY(!counter.Done(nOld)); // late report of the old batch
    QCOMPARE(counter.load(), 1);
    QVERIFY(counter.IsCurrent(nNew));
    QVERIFY(!counter.IsCurrent(nOld));
    QVERIFY(counter.Done(nNew));
}

void tst_TaskCounter::ticketOutlivesCounter()
{
    TaskCounter::Ticket ticket;
    {
        TaskCounter counter;
        const quint64 nBatch = counter.Add();
        ticket = counter.TicketFor(nBatch);
        QVERIFY(ticket.IsCurrent());
        counter = 0;
        QVERIFY(!ticket.IsCurrent());
    }
    QVERIFY(!ticket.IsCurrent());
    QVERIFY(!TaskCounter::Ticket().IsCurrent());
}

void tst_TaskCounter::abandonedRequestQueuesNothing()
{
    TaskCounter counter;
    const quint64 nOld = counter.Add();
    counter.store(0);
    counter.Add();
    QVERIFY(!counter.AddTo(nOld));
    QCOMPARE(counter.load(), 1);
}

void tst_TaskCounter::ticketAddsAndEndsWorkOfItsBatch()
{
    TaskCounter::Ticket ticket;
    TaskCounter::Ticket abandoned;
    {
        TaskCounter counter;
        abandoned = counter.TicketFor(counter.Add());
        counter.Reset();
        ticket = counter.TicketFor(counter.Add());
        QVERIFY(ticket.Add()); // a download queued by its request
        QCOMPARE(counter.load(), 2);
        QVERIFY(!abandoned.Add());
        QVERIFY(!abandoned.Done());
        QCOMPARE(counter.load(), 2);
        QVERIFY(!ticket.Done()); // the request, before its download
    }
    // The counter is gone; the worker's ticket still ends the batch.
    QVERIFY(ticket.IsCurrent());
    QVERIFY(ticket.Done());
    QVERIFY(!ticket.IsCurrent());
    QVERIFY(!ticket.Done());
    QVERIFY(!TaskCounter::Ticket().Add());
}

QTEST_GUILESS_MAIN(tst_TaskCounter)
#include "tst_TaskCounter.moc"
