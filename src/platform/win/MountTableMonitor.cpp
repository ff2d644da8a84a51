#include "platform/MountTableMonitor.h"

// Windows announces volume arrival and removal with WM_DEVICECHANGE to the main
// window (see DeviceNotification); there is no mount table to watch.
int OpenMountTableMonitor()
{
    return -1;
}

void CloseMountTableMonitor(int /*nHandle*/) {}
