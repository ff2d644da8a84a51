#pragma once
#include <QObject>
#include <QPoint>

// Application-wide event filter that lets frameless windows be dragged:
// any widget whose property "CanMove" is true follows the left mouse button.
class AppInit : public QObject
{
    Q_OBJECT
public:
    // Installs itself as the application's event filter.
    explicit AppInit(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    bool bMousePressed = false;
    QPoint ptMouse;
};
