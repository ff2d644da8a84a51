#pragma once
// Marks a file that a running transfer is writing, so that the clean-up of
// leftovers (of a killed run, or of a transfer that could not remove its file
// because the disk went away) never takes it from under the transfer, in this
// process or another.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// Marks the open file nHandle (a C file descriptor) as in use until it is
// closed. False when it cannot be marked.
bool MarkFileInUse(int nHandle);

// Removes the file sPath (UTF-8) unless a transfer has it in use; a link is
// removed, never followed. False when it stays.
bool RemoveFileIfUnused(const std::string &sPath);
