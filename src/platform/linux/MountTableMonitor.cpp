#include "platform/MountTableMonitor.h"

#include <fcntl.h>
#include <unistd.h>

// The kernel flags /proc/self/mountinfo with POLLPRI|POLLERR whenever the mount
// namespace changes; the flag is re-armed by the poll that reports it.
int OpenMountTableMonitor()
{
    return ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
}

void CloseMountTableMonitor(int nHandle)
{
    if (nHandle >= 0)
        ::close(nHandle);
}
