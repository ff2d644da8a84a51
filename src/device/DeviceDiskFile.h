#pragma once
// Reading files from the device disk. Everything there comes from the device or whoever had the
// disk before: only regular files are read (a FIFO, a device or a link to one is refused
// without being opened for reading) and never more than the caller's limit.

#include <QByteArray>
#include <QString>

namespace DeviceDiskFile
{

// Limits of the files the program reads from the disk.
constexpr qint64 ManifestLimit = 16 * 1024 * 1024;    // "Update.json"
constexpr qint64 RecordFileLimit = 256 * 1024 * 1024; // a diagnostic record under "SaveData"

// The whole file into *pData; false (with a debug line saying why) when it is missing,
// unreadable, not a regular file or longer than nMaxBytes.
bool ReadAll(const QString &sPath, qint64 nMaxBytes, QByteArray *pData);

// The first nBytes bytes (fewer when the file is shorter); false when the file is missing,
// unreadable or not a regular file.
bool ReadHead(const QString &sPath, qint64 nBytes, QByteArray *pData);

} // namespace DeviceDiskFile
