#include "../HostProgram.h"

// Under Wine the tools of the Linux build stand in ($UA_HOST_BIN_DIR, set by
// scripts/windows/test). Wine starts a Linux program but can neither wait for it nor give it a
// Windows pipe, so a Linux shell runs it in the background with its output in a file, and
// writes its process id and, once it ended, its exit code into files beside it.
//
// The shell cannot tell when this test goes: Wine starts it through a child that ends at once,
// so its parent is gone from the start (watching that parent ended the program while it
// started). Instead each process id is also listed in $UA_HOST_RUN_DIR, and
// scripts/windows/test ends what a crashed test left running.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <windows.h>

namespace
{
using UnixFileNameFn = char *(CDECL *)(LPCWSTR);

UnixFileNameFn UnixFileNameFunction()
{
    return reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

// The Linux name of a Windows path; empty when there is none.
QString UnixName(const QString &sPath)
{
    const UnixFileNameFn pUnixFileName = UnixFileNameFunction();
    if (!pUnixFileName)
        return QString();
    const QString sNative = QDir::toNativeSeparators(sPath);
    char *pUnix = pUnixFileName(reinterpret_cast<const wchar_t *>(sNative.utf16()));
    if (!pUnix)
        return QString();
    const QString sUnix = QString::fromUtf8(pUnix);
    HeapFree(GetProcessHeap(), 0, pUnix);
    return sUnix;
}

bool IsWindowsPath(const QString &sArg)
{
    return sArg.size() >= 3 && sArg.at(1) == QLatin1Char(':') &&
           (sArg.at(2) == QLatin1Char('\\') || sArg.at(2) == QLatin1Char('/'));
}

QString ShellQuote(const QString &sArg)
{
    QString sQuoted = sArg;
    sQuoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + sQuoted + QLatin1Char('\'');
}

// Starts sScript in the Linux shell, without waiting for it.
bool RunShell(const QString &sScript)
{
    QString sCommand = QStringLiteral("/bin/sh -c \"");
    for (const QChar c : sScript) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            sCommand += QLatin1Char('\\');
        sCommand += c;
    }
    sCommand += QLatin1Char('"');
    std::wstring sWide = sCommand.toStdWString();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &sWide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool WaitForFile(const QString &sPath, int nTimeoutMs)
{
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!QFile::exists(sPath)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

struct HostProgram::Private {
    std::unique_ptr<QTemporaryDir> pDir;
    QString sPid;
    qint64 nRead = 0;
    QString sError;

    QString File(const char *pName) const { return pDir->filePath(QLatin1String(pName)); }
    bool Ended() const { return !pDir || QFile::exists(File("rc")); }
    void Signal(const char *pSignal) const
    {
        RunShell(QStringLiteral("kill -%1 %2").arg(QLatin1String(pSignal), sPid));
    }
};

HostProgram::HostProgram() : d(std::make_unique<Private>()) {}

HostProgram::~HostProgram()
{
    Stop();
}

bool HostProgram::CanRunTools(QString *pWhy)
{
    if (!qEnvironmentVariableIsEmpty("UA_HOST_BIN_DIR") && UnixFileNameFunction())
        return true;
    *pWhy = QStringLiteral("the tools are Linux programs: they run under Wine only, from the "
                           "Linux build named by UA_HOST_BIN_DIR (scripts/windows/test)");
    return false;
}

bool HostProgram::Start(const QString &sName, const QStringList &slArgs, int nTimeoutMs)
{
    Stop();
    d->pDir.reset();
    d->nRead = 0;
    if (!CanRunTools(&d->sError))
        return false;
    const QString sBin = qEnvironmentVariable("UA_HOST_BIN_DIR");
    auto pDir = std::make_unique<QTemporaryDir>();
    const QString sUnixDir = pDir->isValid() ? UnixName(pDir->path()) : QString();
    if (sUnixDir.isEmpty()) {
        d->sError = QStringLiteral("no folder for the output of %1").arg(sName);
        return false;
    }
    QString sCommand = ShellQuote(sBin + QLatin1Char('/') + sName);
    for (const QString &sArg : slArgs) {
        const QString sUnix = IsWindowsPath(sArg) ? UnixName(sArg) : QString();
        sCommand += QLatin1Char(' ') + ShellQuote(sUnix.isEmpty() ? sArg : sUnix);
    }
    const QString sDir = ShellQuote(sUnixDir);
    const QString sRunDir = qEnvironmentVariable("UA_HOST_RUN_DIR");
    const QString sListed = sRunDir.isEmpty()
                                ? QString()
                                : QStringLiteral("echo $s >>%1/pids; ").arg(ShellQuote(sRunDir));
    const QString sScript =
        QStringLiteral("cd / && %1 >%2/out 2>&1 </dev/null & s=$!; %3echo $s >%2/pid.new; "
                       "mv %2/pid.new %2/pid; wait $s; echo $? >%2/rc.new; mv %2/rc.new %2/rc")
            .arg(sCommand, sDir, sListed);
    d->pDir = std::move(pDir);
    if (!RunShell(sScript) || !WaitForFile(d->File("pid"), nTimeoutMs)) {
        d->sError = QStringLiteral("cannot start %1 through the Linux shell").arg(sName);
        d->pDir.reset();
        return false;
    }
    QFile pid(d->File("pid"));
    d->sPid =
        pid.open(QIODevice::ReadOnly) ? QString::fromLatin1(pid.readAll().trimmed()) : QString();
    return true;
}

void HostProgram::Stop()
{
    if (!IsRunning())
        return;
    d->Signal("TERM");
    if (WaitForFile(d->File("rc"), 5000))
        return;
    d->Signal("KILL");
    WaitForFile(d->File("rc"), 5000);
}

bool HostProgram::IsRunning() const
{
    return !d->Ended();
}

void HostProgram::WaitForOutput(int nTimeoutMs)
{
    const QDeadlineTimer deadline(nTimeoutMs);
    while (!deadline.hasExpired() && !d->Ended() && QFileInfo(d->File("out")).size() <= d->nRead)
        QThread::msleep(20);
}

QByteArray HostProgram::ReadOutput()
{
    if (!d->pDir)
        return QByteArray();
    QFile out(d->File("out"));
    if (!out.open(QIODevice::ReadOnly) || !out.seek(d->nRead))
        return QByteArray();
    const QByteArray baNew = out.readAll();
    d->nRead += baNew.size();
    return baNew;
}

QString HostProgram::Error() const
{
    if (!d->pDir)
        return d->sError;
    QFile rc(d->File("rc"));
    if (!rc.open(QIODevice::ReadOnly))
        return QStringLiteral("process %1 still running").arg(d->sPid);
    return QStringLiteral("process %1 ended with code %2")
        .arg(d->sPid, QString::fromLatin1(rc.readAll().trimmed()));
}
