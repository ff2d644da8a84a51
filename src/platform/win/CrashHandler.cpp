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

void WriteCrashDump(const wchar_t *pFileName, EXCEPTION_POINTERS *pExceptionPointers)
{
    HANDLE hFile = CreateFileW(pFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    MINIDUMP_EXCEPTION_INFORMATION info;
    info.ExceptionPointers = pExceptionPointers;
    info.ThreadId = GetCurrentThreadId();
    info.ClientPointers = TRUE;
    // With an invalid handle the call fails; nothing is reported either way.
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), hFile, MiniDumpNormal, &info,
                      nullptr, nullptr);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
}

void InstallNativeCrashHandler(const std::filesystem::path &dumpFile)
{
    g_dumpFile = dumpFile.wstring();
    SetUnhandledExceptionFilter(UnhandledExceptionHandler);
}
