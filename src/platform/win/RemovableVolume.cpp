#include "platform/RemovableVolume.h"

#include <windows.h>

bool IsRemovableVolume(const std::string &sRootPath, const std::string & /*sDevice*/)
{
    if (sRootPath.size() < 2 || sRootPath[1] != ':')
        return false;
    // The drive is the first two characters ("E:"); the root needs its backslash,
    // without it the call would look at the drive's current directory.
    const wchar_t szRoot[4] = {static_cast<wchar_t>(static_cast<unsigned char>(sRootPath[0])), L':',
                               L'\\', L'\0'};
    return GetDriveTypeW(szRoot) == DRIVE_REMOVABLE;
}
