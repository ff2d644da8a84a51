// Qt-free.
#include "platform/FileInUse.h"

#include <windows.h>

bool RemoveFileIfUnused(const std::string &sPath)
{
    if (sPath.empty())
        return false;
    const int nLength =
        MultiByteToWideChar(CP_UTF8, 0, sPath.data(), int(sPath.size()), nullptr, 0);
    if (nLength <= 0)
        return false;
    std::wstring sWide(size_t(nLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, sPath.data(), int(sPath.size()), &sWide[0], nLength);
    // A file that a transfer has open is not shared for deletion: it stays.
    return DeleteFileW(sWide.c_str()) != 0;
}
