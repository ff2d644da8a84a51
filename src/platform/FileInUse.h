#pragma once
// Removes what a killed or cut-off transfer left behind, but never a file that
// a running transfer is writing (another package may share the file).
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// Removes the file sPath (UTF-8) unless it is open in this process (Linux) or
// in any process (Windows, where an open file cannot be deleted); a link is
// removed, never followed. False when it stays.
bool RemoveFileIfUnused(const std::string &sPath);
