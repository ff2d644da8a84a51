#include "platform/DiskFile.h"
#include "platform/win/WideText.h"

#include <windows.h>

namespace
{

class FileHandle
{
public:
    explicit FileHandle(HANDLE hFile) : m_hFile(hFile) {}
    ~FileHandle()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            CloseHandle(m_hFile);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    HANDLE Get() const { return m_hFile; }

private:
    HANDLE m_hFile;
};

} // namespace

DiskFileStatus ReadDiskFile(const std::string &sPath, std::size_t nMaxBytes, bool bPrefix,
                            const DiskFileBufferFn &buffer, std::size_t *pRead)
{
    *pRead = 0;
    const std::wstring sWide = WideFromUtf8(sPath);
    const DWORD nAttributes = GetFileAttributesW(sWide.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES)
        return DiskFileStatus::CannotOpen;
    if (nAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return DiskFileStatus::NotRegular;
    const FileHandle file(CreateFileW(sWide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return DiskFileStatus::CannotOpen;
    // Only a file on a disk; pipes and character devices are refused.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return DiskFileStatus::NotRegular;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size))
        return DiskFileStatus::CannotOpen;
    const auto nFileSize = static_cast<unsigned long long>(size.QuadPart < 0 ? 0 : size.QuadPart);
    std::size_t nWanted = static_cast<std::size_t>(nFileSize);
    if (nFileSize > nMaxBytes) {
        if (!bPrefix)
            return DiskFileStatus::TooLarge;
        nWanted = nMaxBytes;
    }

    char *pBuffer = buffer(nWanted);
    std::size_t nDone = 0;
    while (nDone < nWanted) {
        const std::size_t nLeft = nWanted - nDone;
        const DWORD nAsk = nLeft > 0x10000000u ? 0x10000000u : static_cast<DWORD>(nLeft);
        DWORD nGot = 0;
        if (!ReadFile(file.Get(), pBuffer + nDone, nAsk, &nGot, nullptr))
            return DiskFileStatus::CannotOpen;
        if (nGot == 0)
            break;
        nDone += nGot;
    }
    *pRead = nDone;
    return DiskFileStatus::Read;
}
