#include "widgets/KXProgressBarDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QWidget>
#include <limits>

KXProgressBarDelegate::KXProgressBarDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

KXProgressBarDelegate::~KXProgressBarDelegate() = default;

QString KXProgressBarDelegate::ProgressText(quint64 nCurrent, quint64 nTotal,
                                            const QString &sCaption)
{
    QString sText;
    if (nCurrent != 0 && nTotal != 0) {
        // Byte counts of large packages: divide first where the product would overflow.
        const quint64 nPercent = nCurrent <= std::numeric_limits<quint64>::max() / 100
                                     ? nCurrent * 100 / nTotal
                                     : nCurrent / (nTotal / 100 ? nTotal / 100 : 1);
        sText = tr("%1%").arg(nPercent);
    }
    if (!sCaption.isEmpty())
        sText = tr("%1").arg(sCaption);
    return sText;
}

void KXProgressBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    if (!index.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    opt.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, opt, index);

    quint64 nCurrent = index.data(ValueRole).toULongLong();
    quint64 nTotal = index.data(MaximumRole).toULongLong();
    const QString sCaption = index.data(CaptionRole).toString();

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(4, 4, -4, -4);
    bar.text = ProgressText(nCurrent, nTotal, sCaption);
    // The style takes int: bring sizes beyond 2 GiB into range, keeping the ratio.
    while (nTotal > static_cast<quint64>(std::numeric_limits<int>::max())) {
        nTotal >>= 1;
        nCurrent >>= 1;
    }
    bar.minimum = 0;
    bar.maximum = static_cast<int>(nTotal);
    bar.progress = static_cast<int>(std::min(nCurrent, nTotal));
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
    bar.palette = option.palette;
    QStyle *pStyle = option.widget ? option.widget->style() : QApplication::style();
    if (!pStyleTarget)
        pStyleTarget = std::make_unique<QProgressBar>();
    pStyle->drawControl(QStyle::CE_ProgressBar, &bar, painter, pStyleTarget.get());
}

QSize KXProgressBarDelegate::sizeHint(const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    Q_UNUSED(index)
    return option.rect.size();
}
