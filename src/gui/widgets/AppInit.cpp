#include "widgets/AppInit.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

AppInit::AppInit(QObject *parent) : AppInit(MovesBySystem(QGuiApplication::platformName()), parent)
{
}

AppInit::AppInit(bool bSystemMove, QObject *parent) : QObject(parent), bSystemMove(bSystemMove)
{
    if (qApp)
        qApp->installEventFilter(this);
}

bool AppInit::MovesBySystem(const QString &sPlatform)
{
    // "wayland", "wayland-egl", "wayland-xcomposite-egl", ...
    return sPlatform.startsWith(QLatin1String("wayland"), Qt::CaseInsensitive);
}

bool AppInit::StartSystemMove(QWidget *pWindow)
{
    QWindow *pHandle = pWindow->window()->windowHandle();
    return pHandle != nullptr && pHandle->startSystemMove();
}

bool AppInit::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    const QEvent::Type type = pEvent->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove)
        return QObject::eventFilter(pWatched, pEvent);
    auto *pWidget = qobject_cast<QWidget *>(pWatched);
    if (!pWidget || !pWidget->property("CanMove").toBool())
        return QObject::eventFilter(pWatched, pEvent);

    auto *pMouse = static_cast<QMouseEvent *>(pEvent);
    // A picture label may take the mouse for itself (e.g. a captcha to click).
    if (auto *pPic = pWidget->findChild<QLabel *>("lbPic")) {
        if (QApplication::widgetAt(pMouse->globalPos()) == pPic)
            return QObject::eventFilter(pWatched, pEvent);
    }

    if (type == QEvent::MouseButtonPress) {
        if (pMouse->button() != Qt::LeftButton)
            return QObject::eventFilter(pWatched, pEvent);
        // The window system follows the pointer itself and sends no moves;
        // where it declines, the window is moved by position after all.
        if (bSystemMove && StartSystemMove(pWidget)) {
            bMousePressed = false;
            return true;
        }
        bMousePressed = true;
        ptMouse = pMouse->globalPos() - pWidget->pos();
        return true;
    }
    if (type == QEvent::MouseButtonRelease) {
        bMousePressed = false;
        return true;
    }
    if (bMousePressed && pMouse->buttons() != Qt::NoButton) {
        pWidget->move(pMouse->globalPos() - ptMouse);
        return true;
    }
    return QObject::eventFilter(pWatched, pEvent);
}
