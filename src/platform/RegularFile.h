#pragma once
// Opening a file of the device disk for reading. Its names and types are the choice of
// whoever wrote the disk: a FIFO would hold the open, and every read after it, until a writer
// came; a device would pour out bytes without end. Only a regular file is opened, and the open
// never waits.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <string>

// Opens the file sPath (UTF-8) read-only, at its start, when it is a regular file (links
// followed); anything else is refused without being opened for reading. Returns a C runtime
// file descriptor (for QFile::open with AutoCloseHandle), or -1 when it is missing, not a
// regular file or cannot be opened.
int OpenRegularFileDescriptor(const std::string &sPath);

// Closes a descriptor of OpenRegularFileDescriptor that no QFile took over.
void CloseRegularFileDescriptor(int fd);
