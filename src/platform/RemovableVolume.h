#pragma once
// Whether a mounted volume lives on a removable disk (the device shows up as one).

#include <string>

// sRootPath: where the volume is mounted ("E:/" on Windows, "/media/user/KX" elsewhere);
// sDevice: the block device behind it as the mount table names it ("/dev/sdb1"),
// unused where the root path alone identifies the drive. Both UTF-8.
bool IsRemovableVolume(const std::string &sRootPath, const std::string &sDevice);
