#pragma once
// A program of the build machine that a test runs beside itself (the stand-in update server),
// with its output (standard output and error together) read as it comes. On Linux a child
// process; under Wine (support/win/) the Linux build's program, which Wine can start but not
// wait for nor connect to pipes, so a Linux shell writes its output and end into files.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class HostProgram
{
public:
    HostProgram();
    ~HostProgram();
    HostProgram(const HostProgram &) = delete;
    HostProgram &operator=(const HostProgram &) = delete;

    // Whether the build's tools can be run from here at all; false, with the reason, under
    // Wine without a Linux build to run them from (a test then skips).
    static bool CanRunTools(QString *pWhy);
    // Starts the program called sName from the build's tools; false, with the reason in
    // Error(), when it could not be started.
    bool Start(const QString &sName, const QStringList &slArgs, int nTimeoutMs);
    // Asks it to end, and kills it when it did not within 5 s.
    void Stop();
    bool IsRunning() const;
    // Waits up to nTimeoutMs for more output or the end of the program.
    void WaitForOutput(int nTimeoutMs);
    // What it printed since the last call.
    QByteArray ReadOutput();
    // Why it did not start, or (under Wine) how it ended.
    QString Error() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
