#pragma once
// Facts about the volume that holds a folder of the device disk, and making
// a change on it durable before the next one.
// Qt-free: the Windows implementation is syntax-checked with MinGW.

#include <cstdint>
#include <string>

// An identity of the mounted volume that holds sPath (UTF-8): the device
// number on Linux, the volume serial number on Windows. False when sPath
// cannot be reached. A disk that was pulled out shows as unreachable or, where
// its mount point stays behind, as another volume.
bool VolumeIdOf(const std::string &sPath, std::uint64_t *pId);

// Whether the file system that holds the folder sFolder (UTF-8) finds a name
// whatever its letter case, as FAT and exFAT do.
bool NamesIgnoreCase(const std::string &sFolder);

// Writes the folder's own entries (names added or removed) through to the
// disk, so that what is done afterwards cannot reach the disk before them.
// False when the folder cannot be opened or flushed.
bool FlushFolder(const std::string &sFolder);
