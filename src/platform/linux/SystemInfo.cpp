#include "platform/SystemInfo.h"

// No WOW64 here: the program always runs natively.

bool IsX64Os()
{
    return false;
}

int DisableFsRedirection(void **ppOldValue)
{
    if (ppOldValue)
        *ppOldValue = nullptr;
    return 0;
}

int RevertFsRedirection(void *pOldValue)
{
    (void)pOldValue;
    return 0;
}
