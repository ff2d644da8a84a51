#pragma once

#include <QColor>
#include <QDomElement>
#include <QRectF>
#include <QString>

class QPainter;

// Cross table of a "crossTab" field. The program's templates carry none; the
// attributes are kept and the table is drawn as a captioned grid.
class ReportCrossTab
{
public:
    void LoadFromElement(const QDomElement &element);
    void Draw(QPainter *pPainter, const QRectF &rect) const;

    int nRowHeight = 20;
    int nColCount = 0;
    bool bTotalByColVisible = false;
    bool bTotalByRowVisible = false;
    bool bSubtotalIsVisible = false;
    bool bHeaderIsVisible = true;
    QColor totalBackgroundColor;
    QColor headerBackgroundColor = QColor(255, 255, 255, 255);
    QString sDataSourceName;
    QString sCaption;
    QString sValue;
};
