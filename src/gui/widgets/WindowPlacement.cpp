#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QMainWindow>
#include <QWidget>

QWidget *PlacementAnchor(const QWidget *pWindow)
{
    if (pWindow != nullptr && pWindow->parentWidget() != nullptr)
        return pWindow->parentWidget()->window();
    QWidget *pActive = QApplication::activeWindow();
    if (pActive != nullptr && pActive != pWindow && pActive->isVisible())
        return pActive;
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget *pWidget : topLevels) {
        if (pWidget != pWindow && pWidget->isVisible() && qobject_cast<QMainWindow *>(pWidget))
            return pWidget;
    }
    return nullptr;
}

void CentreOver(QWidget *pWindow, const QWidget *pOver)
{
    if (pWindow == nullptr || pOver == nullptr)
        return;
    const QWidget *pAnchor = pOver->window();
    if (!pAnchor->isVisible() || pAnchor == pWindow)
        return;
    QRect rect = pWindow->frameGeometry();
    rect.moveCenter(pAnchor->frameGeometry().center());
    pWindow->move(rect.topLeft());
}
