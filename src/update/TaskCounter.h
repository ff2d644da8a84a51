#pragma once
// The download flow's busy state (the main window's nTaskCount): how many
// pieces of work of the current batch (download-information requests and
// package downloads) are queued or running. A batch ends when the count
// returns to 0.
//
// Each batch carries a generation number. Resetting the counter (the device
// went away) abandons the batch, so the late reports of its work neither drive
// the count below 0 nor end a newer batch early. Safe from any thread.

#include <QtGlobal>
#include <memory>

class TaskCounter
{
    struct State;

public:
    // Lets a worker ask whether its batch is still the running one, and add
    // and end work of that batch, even after the counter itself has gone away.
    class Ticket
    {
    public:
        Ticket() = default;
        bool IsCurrent() const;
        quint64 Generation() const { return nGeneration; }
        // As TaskCounter::AddTo and TaskCounter::Done for the ticket's batch.
        bool Add() const;
        bool Done() const;

    private:
        friend class TaskCounter;
        Ticket(std::shared_ptr<State> pState, quint64 nGeneration)
            : pState(std::move(pState)), nGeneration(nGeneration)
        {
        }
        std::shared_ptr<State> pState;
        quint64 nGeneration = 0;
    };

    TaskCounter();
    TaskCounter(const TaskCounter &) = delete;
    TaskCounter &operator=(const TaskCounter &) = delete;

    // Adds one piece of work and returns the generation of the batch it
    // joins; *pNewBatch tells whether the counter was idle before.
    quint64 Add(bool *pNewBatch = nullptr);
    // Adds one piece of work to batch nGeneration; false (nothing added) when
    // that batch is no longer running.
    bool AddTo(quint64 nGeneration);
    // Ends one piece of work of batch nGeneration; true when it was the last
    // one of the current batch. Work of an abandoned batch changes nothing.
    bool Done(quint64 nGeneration);
    bool IsCurrent(quint64 nGeneration) const;
    Ticket TicketFor(quint64 nGeneration) const;
    // Forgets every running piece of work (device removal).
    void Reset();

    int load() const;
    operator int() const { return load(); }
    // Abandons the running batch like Reset(); a count above 0 stands for
    // that many pieces of work of a batch without reports (tests).
    TaskCounter &operator=(int nValue);
    void store(int nValue) { *this = nValue; }

private:
    std::shared_ptr<State> pState;
};
