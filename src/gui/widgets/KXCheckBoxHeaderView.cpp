#include "widgets/KXCheckBoxHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

KXCheckBoxHeaderView::KXCheckBoxHeaderView(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

void KXCheckBoxHeaderView::SetChecked(bool bChecked)
{
    if (checked == bChecked)
        return;
    checked = bChecked;
    updateSection(nCheckColumn);
}

void KXCheckBoxHeaderView::paintSection(QPainter *painter, const QRect &rect,
                                        int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != nCheckColumn)
        return;
    QStyleOptionButton option;
    option.rect = QRect(rect.left() + 3, rect.top() + 5, 21, 21);
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    style()->drawControl(QStyle::CE_CheckBox, &option, painter, this);
}

void KXCheckBoxHeaderView::mousePressEvent(QMouseEvent *event)
{
    if (logicalIndexAt(event->pos()) == nCheckColumn) {
        checked = !checked;
        updateSection(nCheckColumn);
        emit checkStausChange(checked);
    }
    QHeaderView::mousePressEvent(event);
}
