#pragma once
// Facts about the operating system that the driver installation needs.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

// True on a 64-bit Windows (native processor AMD64 or IA-64); false elsewhere
// and when the system cannot say.
bool IsX64Os();

// Turn the WOW64 file-system redirection off for the calling thread and back
// on. Return 0 when the system has no such facility.
int DisableFsRedirection(void **ppOldValue);
int RevertFsRedirection(void *pOldValue);
