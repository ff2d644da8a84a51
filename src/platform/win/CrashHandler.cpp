// Windows minidump on an unhandled exception. Qt-free.
#include "platform/CrashHandler.h"
#include "platform/win/CrashDump.h"

#include <dbghelp.h>

#include <string>

namespace
{
std::wstring g_dumpFile;

LONG WINAPI UnhandledExceptionHandler(EXCEPTION_POINTERS *pExceptionPointers)
{
    WriteCrashDump(g_dumpFile.c_str(), pExceptionPointers);
    // Ends the process without the system's error dialog.
    return EXCEPTION_EXECUTE_HANDLER;
}
} // namespace

namespace
{
// The dump file, new or an earlier dump emptied; INVALID_HANDLE_VALUE when the
// name is anything else. A link or junction is opened as itself, never
// followed (it could lead to any file the user may write), and only a plain
// file with no other name is emptied.
HANDLE OpenDumpFile(const wchar_t *pFileName)
{
    HANDLE hFile = CreateFileW(pFileName, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return hFile;
    BY_HANDLE_FILE_INFORMATION fileInfo = {};
    const DWORD nNotPlain =
        FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
    const bool bPlain =
        GetFileType(hFile) == FILE_TYPE_DISK && GetFileInformationByHandle(hFile, &fileInfo) &&
        (fileInfo.dwFileAttributes & nNotPlain) == 0 && fileInfo.nNumberOfLinks == 1;
    // Opened at its start: setting the end there empties an earlier dump.
    if (!bPlain || !SetEndOfFile(hFile)) {
        CloseHandle(hFile);
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}
} // namespace

void WriteCrashDump(const wchar_t *pFileName, EXCEPTION_POINTERS *pExceptionPointers)
{
    HANDLE hFile = OpenDumpFile(pFileName);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    MINIDUMP_EXCEPTION_INFORMATION info;
    info.ExceptionPointers = pExceptionPointers;
    info.ThreadId = GetCurrentThreadId();
    info.ClientPointers = TRUE;
    // Nothing is reported either way.
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), hFile, MiniDumpNormal, &info,
                      nullptr, nullptr);
    CloseHandle(hFile);
}

void InstallNativeCrashHandler(const std::filesystem::path &dumpFile)
{
    g_dumpFile = dumpFile.wstring();
    SetUnhandledExceptionFilter(UnhandledExceptionHandler);
}
