#pragma once
// Qt-free.
#include <windows.h>

// Writes a minidump of the current process to pFileName (replacing an older one).
void WriteCrashDump(const wchar_t *pFileName, EXCEPTION_POINTERS *pExceptionPointers);
