#include "HostProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

struct HostProgram::Private {
    QProcess process;
    QString sError;
};

HostProgram::HostProgram() : d(std::make_unique<Private>())
{
    d->process.setProcessChannelMode(QProcess::MergedChannels);
}

HostProgram::~HostProgram()
{
    Stop();
}

bool HostProgram::CanRunTools(QString *)
{
    return true; // they are built with the tests
}

bool HostProgram::Start(const QString &sName, const QStringList &slArgs, int nTimeoutMs)
{
    Stop();
    QString sBin = qEnvironmentVariable("UA_BIN_DIR");
    if (sBin.isEmpty())
        sBin = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    const QString sProgram = QDir(sBin).filePath(sName);
    d->process.start(sProgram, slArgs);
    if (d->process.waitForStarted(nTimeoutMs))
        return true;
    d->sError = QStringLiteral("cannot start %1: %2").arg(sProgram, d->process.errorString());
    return false;
}

void HostProgram::Stop()
{
    if (d->process.state() == QProcess::NotRunning)
        return;
    d->process.terminate();
    if (!d->process.waitForFinished(5000)) {
        d->process.kill();
        d->process.waitForFinished(5000);
    }
}

bool HostProgram::IsRunning() const
{
    return d->process.state() == QProcess::Running;
}

void HostProgram::WaitForOutput(int nTimeoutMs)
{
    if (d->process.bytesAvailable() == 0)
        d->process.waitForReadyRead(nTimeoutMs);
}

QByteArray HostProgram::ReadOutput()
{
    return d->process.readAll();
}

QString HostProgram::Error() const
{
    return d->sError;
}
