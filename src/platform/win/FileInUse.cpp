// Qt-free.
#include "platform/FileInUse.h"
#include "platform/win/WideText.h"

#include <windows.h>

bool RemoveFileIfUnused(const std::string &sPath)
{
    const std::wstring sWide = WideFromUtf8(sPath);
    if (sWide.empty())
        return false;
    // A file that a transfer has open is not shared for deletion: it stays.
    return DeleteFileW(sWide.c_str()) != 0;
}
