#include "platform/DiskFile.h"

#include "platform/linux/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// What may be read of a regular file of nSize bytes; false when it is too long.
bool BytesToRead(off_t nSize, std::size_t nMaxBytes, bool bPrefix, std::size_t *pBytes)
{
    const auto nFileSize = static_cast<unsigned long long>(nSize < 0 ? 0 : nSize);
    if (nFileSize > nMaxBytes) {
        *pBytes = nMaxBytes;
        return bPrefix;
    }
    *pBytes = static_cast<std::size_t>(nFileSize);
    return true;
}

} // namespace

DiskFileStatus ReadDiskFile(const std::string &sPath, std::size_t nMaxBytes, bool bPrefix,
                            const DiskFileBufferFn &buffer, std::size_t *pRead)
{
    *pRead = 0;
    struct stat st = {};
    // stat follows links: a link to /dev/zero or to a FIFO is judged by its target.
    if (::stat(sPath.c_str(), &st) != 0)
        return DiskFileStatus::CannotOpen;
    if (!S_ISREG(st.st_mode))
        return DiskFileStatus::NotRegular;
    // Non-blocking, so that a FIFO swapped in since the check cannot hold the open; the opened
    // handle is what counts.
    const FileDescriptor fd(::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        return DiskFileStatus::CannotOpen;
    if (::fstat(fd.Get(), &st) != 0)
        return DiskFileStatus::CannotOpen;
    if (!S_ISREG(st.st_mode))
        return DiskFileStatus::NotRegular;
    std::size_t nWanted = 0;
    if (!BytesToRead(st.st_size, nMaxBytes, bPrefix, &nWanted))
        return DiskFileStatus::TooLarge;

    char *pBuffer = buffer(nWanted);
    std::size_t nDone = 0;
    // A file that grows meanwhile is read as long as it was; one that shrinks, to its end.
    while (nDone < nWanted) {
        const ssize_t n = ::read(fd.Get(), pBuffer + nDone, nWanted - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return DiskFileStatus::CannotOpen;
        if (n == 0)
            break;
        nDone += static_cast<std::size_t>(n);
    }
    *pRead = nDone;
    return DiskFileStatus::Read;
}
