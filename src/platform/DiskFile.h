#pragma once
// Reading a file from the device disk, whose names, types and sizes nobody here controls: a
// FIFO would block the reader for ever, a link to a device would pour out bytes without end.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <cstddef>
#include <functional>

#include <string>

enum class DiskFileStatus {
    Read,       // the bytes are in the caller's buffer
    CannotOpen, // missing, not readable, or a read failed
    NotRegular, // a folder, FIFO, device or socket, also behind a link: never read
    TooLarge    // longer than the limit (whole reads only)
};

// Gives room for nBytes bytes and returns where they go; called at most once per read.
using DiskFileBufferFn = std::function<char *(std::size_t nBytes)>;

// Reads the file sPath (UTF-8). Only a regular file is read, after following links; anything
// else is refused without being opened for reading. With bPrefix false the whole file is read
// and a file longer than nMaxBytes gives TooLarge; with bPrefix true its first nMaxBytes bytes
// (or fewer) are read, whatever its length. *pRead is the number of bytes put into the buffer.
DiskFileStatus ReadDiskFile(const std::string &sPath, std::size_t nMaxBytes, bool bPrefix,
                            const DiskFileBufferFn &buffer, std::size_t *pRead);
