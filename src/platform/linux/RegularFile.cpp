#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFileDescriptor(const std::string &sPath)
{
    struct stat st = {};
    // stat follows links: a link to a FIFO or a device is judged by its target, before any open.
    if (::stat(sPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    // Non-blocking, so that a FIFO swapped in since the check cannot hold the open; what was
    // opened is what counts.
    const int fd = ::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    const int nFlags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || nFlags < 0 ||
        ::fcntl(fd, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void CloseRegularFileDescriptor(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
