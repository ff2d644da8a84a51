#include "platform/DeviceNotification.h"

// On Linux no window messages announce devices: volume changes are noticed
// through the mount table (MountTableMonitor) instead.
void *RegisterDeviceNotifications(std::uintptr_t /*nWindowHandle*/)
{
    return nullptr;
}

void UnregisterDeviceNotifications(void * /*pRegistration*/) {}

DeviceChangeKind ClassifyDeviceChange(const void * /*pNativeMessage*/)
{
    return DeviceChangeKind::NotDeviceChange;
}
