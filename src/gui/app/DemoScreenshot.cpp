#include "app/DemoScreenshot.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace
{
QPixmap GrabWindow(QWidget *pWindow)
{
    // From the screen, so dialogs in front of the window show as the user sees them.
    if (QScreen *pScreen = pWindow->screen()) {
        const QRect rect = pWindow->frameGeometry();
        QPixmap pixmap = pScreen->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height());
        if (!pixmap.isNull())
            return pixmap;
    }
    return pWindow->grab();
}
} // namespace

void ScheduleScreenshot(QWidget *pWindow, const QString &sPath, int nDelayMs)
{
    QPointer<QWidget> pGuard(pWindow);
    QTimer::singleShot(nDelayMs, pWindow, [pGuard, sPath] {
        bool bSaved = false;
        if (pGuard)
            bSaved = GrabWindow(pGuard).save(sPath, "PNG");
        fprintf(stderr, bSaved ? "screenshot saved: %s\n" : "screenshot failed: %s\n",
                qUtf8Printable(sPath));
        QCoreApplication::exit(bSaved ? 0 : 1);
    });
}

void ScheduleScreenshotFromEnvironment(QWidget *pWindow)
{
    const QString sPath = qEnvironmentVariable("UA_SCREENSHOT");
    if (sPath.isEmpty())
        return;
    bool bOk = false;
    int nDelayMs = qEnvironmentVariableIntValue("UA_SCREENSHOT_DELAY_MS", &bOk);
    if (!bOk || nDelayMs < 0)
        nDelayMs = 1500;
    ScheduleScreenshot(pWindow, sPath, nDelayMs);
}
