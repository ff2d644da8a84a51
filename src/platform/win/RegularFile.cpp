#include "platform/RegularFile.h"
#include "platform/win/WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

int OpenRegularFileDescriptor(const std::string &sPath)
{
    const std::wstring sWide = WideFromUtf8(sPath);
    if (sWide.empty())
        return -1;
    const DWORD nAttributes = GetFileAttributesW(sWide.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    const HANDLE hFile = CreateFileW(sWide.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    // Only a file on a disk; pipes and character devices are refused.
    if (GetFileType(hFile) != FILE_TYPE_DISK) {
        CloseHandle(hFile);
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(hFile), _O_RDONLY | _O_BINARY);
    if (fd < 0)
        CloseHandle(hFile);
    return fd;
}

void CloseRegularFileDescriptor(int fd)
{
    if (fd >= 0)
        _close(fd);
}
