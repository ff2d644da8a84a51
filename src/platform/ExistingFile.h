#pragma once
// Opening a file that is already on the device disk in order to add to it: the
// name may have been planted there, so a link is never followed and only a
// regular file with no second name (no hard link) is taken.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// Opens the file sPath (UTF-8) for reading and writing, at its start. Returns a
// C runtime file descriptor (for QFile::open with AutoCloseHandle), or -1 when
// it is missing, a link, not a regular file, has another name, or cannot be
// opened.
int OpenExistingFile(const std::string &sPath);

// Closes a descriptor of OpenExistingFile that no QFile took over.
void CloseExistingFile(int fd);
