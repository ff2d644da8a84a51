#include "report/ReportCrossTab.h"

#include "report/ReportFieldObject.h"

#include <QPainter>

void ReportCrossTab::LoadFromElement(const QDomElement &element)
{
    auto intAttr = [&element](const char *pName, int nDefault) {
        bool bOk = false;
        const int nValue = element.attribute(QLatin1String(pName)).toInt(&bOk);
        return bOk ? nValue : nDefault;
    };
    nRowHeight = qBound(1, intAttr("rowHeight", 20), 10000);
    nColCount = qBound(0, intAttr("colCount", 0), 1000);
    bTotalByColVisible = intAttr("totalByColVisible", 0) != 0;
    bTotalByRowVisible = intAttr("totalByRowVisible", 0) != 0;
    bSubtotalIsVisible = intAttr("subtotalIsVisible", 0) != 0;
    bHeaderIsVisible = intAttr("headerIsVisible", 1) != 0;
    totalBackgroundColor =
        ReportFieldObject::ParseColor(element.attribute(QStringLiteral("totalBackgroundColor")));
    headerBackgroundColor = ReportFieldObject::ParseColor(element.attribute(
        QStringLiteral("headerBackgroundColor"), QStringLiteral("rgba(255,255,255,255)")));
    sDataSourceName = element.attribute(QStringLiteral("dataSourceName"));
    sCaption = element.attribute(QStringLiteral("caption"));
    sValue = element.attribute(QStringLiteral("value"));
}

void ReportCrossTab::Draw(QPainter *pPainter, const QRectF &rect) const
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    pPainter->save();
    pPainter->setPen(QPen(Qt::black, 0));
    pPainter->setBrush(Qt::NoBrush);
    pPainter->drawRect(rect);
    const int nColumns = qMin(nColCount, 100);
    if (nColumns > 1) {
        const qreal dStep = rect.width() / nColumns;
        for (int i = 1; i < nColumns; ++i)
            pPainter->drawLine(QPointF(rect.left() + i * dStep, rect.top()),
                               QPointF(rect.left() + i * dStep, rect.bottom()));
    }
    if (bHeaderIsVisible && !sCaption.isEmpty()) {
        const QRectF header(rect.left(), rect.top(), rect.width(),
                            qMin(rect.height(), pPainter->fontMetrics().height() * 1.5));
        if (headerBackgroundColor.isValid())
            pPainter->fillRect(header, headerBackgroundColor);
        pPainter->drawText(header, Qt::AlignCenter, sCaption);
    }
    pPainter->restore();
}
