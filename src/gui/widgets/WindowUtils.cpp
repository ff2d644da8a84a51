#include "widgets/WindowUtils.h"

#include "platform/WindowCorners.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

bool IsWindowOpen(const QString &sName)
{
    const QString sWindowName = sName + QLatin1String("Window");
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (const QWindow *pWindow : windows) {
        if (pWindow->objectName().compare(sWindowName, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void SetRoundCorners(QWidget *pWindow)
{
    if (!pWindow)
        return;
    SetNativeRoundCorners(reinterpret_cast<void *>(pWindow->winId()));
}
