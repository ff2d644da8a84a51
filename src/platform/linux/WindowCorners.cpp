#include "platform/WindowCorners.h"

// X11 and Wayland decorate (or not) as the window manager likes.
void SetNativeRoundCorners(void *pHandle)
{
    (void)pHandle;
}
