#include "platform/WindowCorners.h"

#include <QWidget>

void SetRoundCorners(QWidget *pWindow)
{
    if (!pWindow)
        return;
    SetNativeRoundCorners(reinterpret_cast<void *>(pWindow->winId()));
}
