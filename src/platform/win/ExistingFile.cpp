#include "platform/ExistingFile.h"
#include "platform/win/WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

int OpenExistingFile(const std::string &sPath)
{
    const std::wstring sWide = WideFromUtf8(sPath);
    if (sWide.empty())
        return -1;
    // The reparse point itself is opened, not what it points to; not shared
    // for deletion, so no clean-up removes it while it is written.
    const HANDLE hFile =
        CreateFileW(sWide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool bRegular =
        GetFileType(hFile) == FILE_TYPE_DISK && GetFileInformationByHandle(hFile, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        info.nNumberOfLinks == 1;
    if (!bRegular) {
        CloseHandle(hFile);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_RDWR | _O_BINARY);
    if (fd < 0)
        CloseHandle(hFile);
    return fd;
}

void CloseExistingFile(int fd)
{
    if (fd >= 0)
        _close(fd);
}
