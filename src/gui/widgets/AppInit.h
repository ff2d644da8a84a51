#pragma once
#include <QObject>
#include <QPoint>

class QString;
class QWidget;

// Application-wide event filter that lets frameless windows be dragged:
// any widget whose property "CanMove" is true follows the left mouse button.
// Where the window system ignores a window's own positioning (Wayland), the
// drag is handed to the window system instead.
class AppInit : public QObject
{
    Q_OBJECT
public:
    // Installs itself as the application's event filter; the platform in use
    // decides how windows are moved.
    explicit AppInit(QObject *parent = nullptr);

    // Whether windows on the platform plugin sPlatform are moved by the window
    // system: Wayland lets no client place its own windows.
    static bool MovesBySystem(const QString &sPlatform);

protected:
    AppInit(bool bSystemMove, QObject *parent);
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    // Lets the window system move pWindow with the pointer; false when it
    // cannot (no native window, or a press it does not know of).
    virtual bool StartSystemMove(QWidget *pWindow);

private:
    bool bSystemMove = false;
    bool bMousePressed = false;
    QPoint ptMouse;
};
