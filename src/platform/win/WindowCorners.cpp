// Qt-free: dwmapi is loaded at run time, as only newer Windows has it.
#include "platform/WindowCorners.h"

#include <windows.h>

void SetNativeRoundCorners(void *pHandle)
{
    HMODULE hDwm = LoadLibraryW(L"dwmapi.dll");
    if (!hDwm)
        return;
    using SetAttributeFn = HRESULT(WINAPI *)(HWND, DWORD, LPCVOID, DWORD);
    auto pSetAttribute = reinterpret_cast<SetAttributeFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(hDwm, "DwmSetWindowAttribute")));
    if (pSetAttribute) {
        const DWORD nAttribute = 33; // DWMWA_WINDOW_CORNER_PREFERENCE
        const DWORD nPreference = 2; // DWMWCP_ROUND
        // Older systems do not know the attribute; the call then simply fails.
        (void)pSetAttribute(static_cast<HWND>(pHandle), nAttribute, &nPreference,
                            sizeof(nPreference));
    }
    FreeLibrary(hDwm);
}
