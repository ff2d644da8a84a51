#pragma once
// A FIFO that tells whether anyone opened it for reading. A writer waits on it in a thread of
// its own, so a reader that opens it gets end-of-file at once instead of hanging the test; the
// writer is called off with a signal that interrupts its wait.
//
//     FifoWatch fifo(disk + "/sn.txt");
//     QVERIFY(fifo.IsValid());
//     ... code that must leave the FIFO alone ...
//     QVERIFY(!fifo.Opened());

#include <QString>

#include <atomic>
#include <thread>

class FifoWatch
{
public:
    explicit FifoWatch(const QString &sPath);
    ~FifoWatch();
    FifoWatch(const FifoWatch &) = delete;
    FifoWatch &operator=(const FifoWatch &) = delete;

    bool IsValid() const { return m_bValid; }
    // Ends the watch; whether a reader opened the FIFO until then.
    bool Opened();

private:
    bool m_bValid = false;
    std::atomic<bool> m_bStopping{false};
    std::atomic<bool> m_bDone{false};
    std::atomic<bool> m_bOpened{false};
    std::thread m_writer;
};
