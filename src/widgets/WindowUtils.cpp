#include "widgets/WindowUtils.h"

#include <QGuiApplication>
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
