// Qt-free.
#include "platform/DiskVolume.h"
#include "platform/win/WideText.h"

#include <windows.h>

namespace
{

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE hNew) : h(hNew) {}
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
};

} // namespace

bool VolumeIdOf(const std::string &sPath, std::uint64_t *pId)
{
    // Folders open only with backup semantics; no access right is needed.
    const Handle file(CreateFileW(WideFromUtf8(sPath).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file.h, &info))
        return false;
    *pId = std::uint64_t(info.dwVolumeSerialNumber);
    return true;
}

bool NamesIgnoreCase(const std::string & /*sFolder*/)
{
    // Windows looks names up without regard to case on every file system a
    // removable disk carries.
    return true;
}

bool FlushFolder(const std::string & /*sFolder*/)
{
    // Removable disks are written through (quick removal is the system's
    // default for them): a change reaches the disk in the order it was made.
    return true;
}
