// Qt-free: looks the functions up at run time, as older Windows lacks them.
#include "platform/SystemInfo.h"

#include <windows.h>

namespace
{
template <class Fn> Fn Kernel32Function(const char *pName)
{
    HMODULE hKernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC pProc = hKernel ? GetProcAddress(hKernel, pName) : nullptr;
    // Through the generic function type, which any function pointer may take.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(pProc));
}
} // namespace

bool IsX64Os()
{
    using GetNativeSystemInfoFn = void(WINAPI *)(LPSYSTEM_INFO);
    auto pGetNativeSystemInfo = Kernel32Function<GetNativeSystemInfoFn>("GetNativeSystemInfo");
    if (!pGetNativeSystemInfo)
        return false;
    SYSTEM_INFO info = {};
    pGetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

int DisableFsRedirection(void **ppOldValue)
{
    using DisableFn = BOOL(WINAPI *)(PVOID *);
    auto pDisable = Kernel32Function<DisableFn>("Wow64DisableWow64FsRedirection");
    if (!pDisable)
        return 0;
    return pDisable(ppOldValue);
}

int RevertFsRedirection(void *pOldValue)
{
    using RevertFn = BOOL(WINAPI *)(PVOID);
    auto pRevert = Kernel32Function<RevertFn>("Wow64RevertWow64FsRedirection");
    if (!pRevert)
        return 0;
    return pRevert(pOldValue);
}
