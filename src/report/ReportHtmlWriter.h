#pragma once

#include "report/ReportTextEvaluator.h"

#include <QImage>
#include <QString>

class ReportFieldObject;

// Pieces of the HTML document an HTML export writes: every field becomes an
// absolutely positioned division on one continuous sheet.
class ReportHtmlWriter
{
public:
    static QString Prefix();
    static QString Suffix();
    // x, w, h: the field's template left, width and height; y its absolute
    // top on the sheet.
    static QString TextDivision(const ReportFieldObject &field, const QString &sText,
                                const ReportFieldStyle &style, int nX, int nY, int nW, int nH);
    static QString PictureDivision(const ReportFieldObject &field, const QImage &image, int nX,
                                   int nY, int nW, int nH);
    static QString ColorText(const QColor &color);
    static QString AlignmentWord(Qt::Alignment alignment);
};
