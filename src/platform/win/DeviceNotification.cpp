#include "platform/DeviceNotification.h"

#include <windows.h>

#include <dbt.h>

namespace
{
// GUID_DEVINTERFACE_USB_DEVICE, spelled out so no extra import library is needed.
const GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
} // namespace

void *RegisterDeviceNotifications(std::uintptr_t nWindowHandle)
{
    if (nWindowHandle == 0)
        return nullptr;
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDeviceInterface;
    return RegisterDeviceNotificationW(reinterpret_cast<HWND>(nWindowHandle), &filter,
                                       DEVICE_NOTIFY_WINDOW_HANDLE);
}

void UnregisterDeviceNotifications(void *pRegistration)
{
    if (pRegistration != nullptr)
        UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(pRegistration));
}

DeviceChangeKind ClassifyDeviceChange(const void *pNativeMessage)
{
    const MSG *pMsg = static_cast<const MSG *>(pNativeMessage);
    if (pMsg == nullptr || pMsg->message != WM_DEVICECHANGE)
        return DeviceChangeKind::NotDeviceChange;
    if (pMsg->wParam != DBT_DEVICEARRIVAL && pMsg->wParam != DBT_DEVICEREMOVECOMPLETE)
        return DeviceChangeKind::NotDeviceChange;
    const DEV_BROADCAST_HDR *pHeader = reinterpret_cast<const DEV_BROADCAST_HDR *>(pMsg->lParam);
    if (pHeader == nullptr || pHeader->dbch_devicetype != DBT_DEVTYP_VOLUME)
        return DeviceChangeKind::Ignored;
    return DeviceChangeKind::VolumeChanged;
}
