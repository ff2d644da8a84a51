#pragma once
// Device arrival and removal notifications delivered to a window.

#include <cstdint>

enum class DeviceChangeKind {
    NotDeviceChange, // not a device-change message: let the window handle it
    Ignored,         // a device change that concerns no volume: handled, nothing to do
    VolumeChanged    // a volume arrived or went away
};

// Registers the window (its native handle) for USB device-interface
// notifications; returns a registration to release with
// UnregisterDeviceNotifications, or null where nothing was registered.
void *RegisterDeviceNotifications(std::uintptr_t nWindowHandle);
void UnregisterDeviceNotifications(void *pRegistration);

// Classifies one native window message (a MSG on Windows).
DeviceChangeKind ClassifyDeviceChange(const void *pNativeMessage);
