// Qt-free.
#include "platform/FileInUse.h"

#include <windows.h>

// A file that is open for writing cannot be deleted here (it is not opened
// for sharing deletion): being open is the mark.

bool MarkFileInUse(int /*nHandle*/)
{
    return true;
}

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
    return DeleteFileW(sWide.c_str()) != 0;
}
