#pragma once
// Whether the GUI thread keeps handling events during a long wait: a 10 ms
// timer counts its turns while the wait prompt ("PromptDlg") is shown and
// notes the longest time between two turns. A window that waits for a worker
// keeps counting in small steps; one that blocks its thread shows no turns,
// or one gap as long as the blocking call.
//
//     WaitWatch watch;
//     QTest::mouseClick(pButton, Qt::LeftButton);   // returns once the wait is over
//     watch.Stop();
//     QVERIFY(watch.Turns() >= 3);
//     QVERIFY(watch.LongestGapMs() < nSilenceMs / 2);

#include "net/HttpPost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>

class WaitWatch : public QObject
{
public:
    // fnWaiting tells whether the wait is on; by default, a wait prompt is shown.
    explicit WaitWatch(std::function<bool()> fnWaiting = {});

    // Ends the watch, counting the time since the last turn as a gap when the
    // wait was on then.
    void Stop();
    int Turns() const { return nTurns; }
    qint64 LongestGapMs() const { return nLongestGapMs; }

    static bool PromptShown();

private:
    void Turn(bool bWaiting);

    std::function<bool()> fnWaiting;
    QTimer timer;
    QElapsedTimer clock;
    qint64 nLastMs = 0;
    bool bLastWaiting = false;
    int nTurns = 0;
    qint64 nLongestGapMs = 0;
};

// A server on sAddress at the command and login ports (19320, 19321) that
// takes every connection and never answers. While it lives the program's
// commands go to it and give up after nCommandMs; the server address and the
// time-outs in use before come back when it goes.
class SilentServer
{
public:
    SilentServer(const QString &sAddress, long nCommandMs);
    ~SilentServer();
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;
    bool IsListening() const;

private:
    std::unique_ptr<QTcpServer> pCommand;
    std::unique_ptr<QTcpServer> pLogin;
    QString sPreviousAddress;
    TransferTimeouts previousTimeouts;
};
