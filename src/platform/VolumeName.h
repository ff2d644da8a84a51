#pragma once
// How the program names a mounted volume that may be the device disk. Disk
// names and paths here are clean: '/' separators, no trailing one.

#include <QString>

// The disk name (as the main window keeps it in sCurDisk) of the volume mounted
// at sRootPath: the drive ("E:") on Windows, the mount path elsewhere.
QString DiskNameOfVolume(const QString &sRootPath);

// What the status text shows for the disk sDisk: its drive letter ("E") on
// Windows; elsewhere the volume label, or the last component of the path when
// the volume has none or sDisk is a folder inside another file system.
QString VolumeDisplayName(const QString &sDisk);

// The heading of the disk's tool tip: the volume label on Windows (empty when
// it has none), the display name elsewhere.
QString VolumeTipLabel(const QString &sDisk);
