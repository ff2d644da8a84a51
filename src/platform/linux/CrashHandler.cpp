#include "platform/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

// Everything the handler needs is prepared at installation: inside a signal
// handler only async-signal-safe calls (open, fstat, ftruncate, write, close,
// backtrace_symbols_fd, raise) are allowed.
namespace
{
char g_dumpPath[4096];
std::vector<char> g_altStack;

const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

const char *SignalName(int nSignal)
{
    switch (nSignal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

void WriteText(int fd, const char *pText)
{
    size_t nLeft = strlen(pText);
    while (nLeft > 0) {
        const ssize_t n = write(fd, pText, nLeft);
        if (n <= 0)
            return;
        pText += n;
        nLeft -= static_cast<size_t>(n);
    }
}

void WriteNumber(int fd, long nValue)
{
    char buf[24];
    int nPos = sizeof(buf) - 1;
    buf[nPos] = '\0';
    const bool bNegative = nValue < 0;
    unsigned long u =
        bNegative ? 0UL - static_cast<unsigned long>(nValue) : static_cast<unsigned long>(nValue);
    do {
        buf[--nPos] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u && nPos > 1);
    if (bNegative)
        buf[--nPos] = '-';
    WriteText(fd, buf + nPos);
}

// The dump file, new or an earlier dump of ours emptied; -1 when the name is
// anything else. A link is never followed (it could lead to any file the user
// may write), a named pipe never waited for, and only a file with no other
// name is emptied.
int OpenDumpFile()
{
    const int fd =
        open(g_dumpPath, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1 ||
        ftruncate(fd, 0) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void CrashSignalHandler(int nSignal, siginfo_t *pInfo, void *)
{
    const int fd = OpenDumpFile();
    if (fd >= 0) {
        WriteText(fd, "Fatal signal ");
        WriteText(fd, SignalName(nSignal));
        WriteText(fd, " (");
        WriteNumber(fd, nSignal);
        WriteText(fd, ") in process ");
        WriteNumber(fd, static_cast<long>(getpid()));
        if (pInfo) {
            WriteText(fd, ", code ");
            WriteNumber(fd, pInfo->si_code);
        }
        WriteText(fd, "\nBacktrace:\n");
        void *frames[128];
        const int nFrames = backtrace(frames, 128);
        backtrace_symbols_fd(frames, nFrames, fd);
        close(fd);
    }
    // The handler was reset to the default on entry (SA_RESETHAND); the signal
    // is blocked until we return, then it ends the process as usual.
    raise(nSignal);
}
} // namespace

void InstallNativeCrashHandler(const std::filesystem::path &dumpFile)
{
    const std::string sPath = dumpFile.string();
    if (sPath.empty() || sPath.size() >= sizeof(g_dumpPath))
        return;
    memcpy(g_dumpPath, sPath.c_str(), sPath.size() + 1);

    // backtrace() loads its unwinder on first use, which is not safe inside
    // the handler: do it now.
    void *frame[1];
    (void)backtrace(frame, 1);

    // A stack overflow leaves no room for the handler on the faulting stack.
    if (g_altStack.empty()) {
        g_altStack.resize(64 * 1024);
        stack_t stack = {};
        stack.ss_sp = g_altStack.data();
        stack.ss_size = g_altStack.size();
        sigaltstack(&stack, nullptr);
    }

    struct sigaction action = {};
    action.sa_sigaction = CrashSignalHandler;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int nSignal : kSignals)
        sigaction(nSignal, &action, nullptr);
}
