#include "widgets/KXButtonDelegate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace
{
QStyle *StyleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}
} // namespace

KXButtonDelegate::KXButtonDelegate(QObject *parent) : QItemDelegate(parent) {}

QRect KXButtonDelegate::ButtonRect(const QRect &cellRect)
{
    return QRect(cellRect.left() + 15, cellRect.top() + 4, 70, 20);
}

QString KXButtonDelegate::TranslateCellText(const QString &sText)
{
    const QByteArray baText = sText.toUtf8();
    QString sTranslated = QCoreApplication::translate("KXButtonDelegate", baText.constData());
    if (sTranslated == sText)
        sTranslated = QCoreApplication::translate("MainWindow", baText.constData());
    return sTranslated;
}

void KXButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    if (!index.isValid()) {
        QItemDelegate::paint(painter, option, index);
        return;
    }
    const QString sState = index.data(StateTextRole).toString();
    if (!sState.isEmpty()) {
        QStyleOptionViewItem opt = setOptions(index, option);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (foreground.canConvert<QBrush>() || foreground.canConvert<QColor>()) {
            const QColor color = foreground.canConvert<QBrush>()
                                     ? foreground.value<QBrush>().color()
                                     : foreground.value<QColor>();
            opt.palette.setColor(QPalette::Text, color);
            opt.palette.setColor(QPalette::HighlightedText, color);
        }
        drawBackground(painter, opt, index);
        drawDisplay(painter, opt, opt.rect, TranslateCellText(sState));
        return;
    }

    QStyleOptionViewItem opt = option;
    opt.state &= ~QStyle::State_HasFocus;
    QItemDelegate::paint(painter, opt, index);

    QStyleOptionButton button;
    button.rect = ButtonRect(option.rect);
    const QString sCaption = index.data(CaptionRole).toString();
    button.text = sCaption.isEmpty() ? tr("下载") : TranslateCellText(sCaption);
    button.state = QStyle::State_Enabled;
    if (button.rect.contains(ptMouse)) {
        if (nState == 1)
            button.state |= QStyle::State_MouseOver;
        else if (nState == 2)
            button.state |= QStyle::State_Sunken;
    }
    StyleOf(option)->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
}

bool KXButtonDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                   const QStyleOptionViewItem &option, const QModelIndex &index)
{
    Q_UNUSED(model)
    if (!index.data(StateTextRole).toString().isEmpty())
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove)
        return false;

    auto *pMouse = static_cast<QMouseEvent *>(event);
    nState = 0;
    ptMouse = pMouse->pos();
    if (!ButtonRect(option.rect).contains(ptMouse))
        return false;
    if (type == QEvent::MouseButtonPress) {
        nState = 2;
    } else if (type == QEvent::MouseButtonRelease) {
        if (index.data(Qt::DisplayRole).toString().isEmpty())
            emit OnButtonClick(index.row());
    } else {
        nState = 1;
    }
    return true;
}
