#include "platform/ExistingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenExistingFile(const std::string &sPath)
{
    // Non-blocking, so that a FIFO at that name cannot hold the open; what was
    // opened is judged afterwards.
    const int fd = ::open(sPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st = {};
    const int nFlags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || nFlags < 0 ||
        ::fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void CloseExistingFile(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
