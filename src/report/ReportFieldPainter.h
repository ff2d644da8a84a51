#pragma once

#include "report/ReportTextEvaluator.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QVariantList>

class QPainter;
class QPaintDevice;
class ReportFieldObject;

// Draws and measures single fields on the report's painter. Template lengths
// are turned into device pixels with the page's scale factors kw and kh.
class ReportFieldPainter
{
public:
    explicit ReportFieldPainter(QPainter *pPainter);

    void SetScale(double dKw, double dKh);
    double Kw() const { return m_dKw; }
    double Kh() const { return m_dKh; }

    // Height the text needs inside the field, in template units.
    double MeasureText(const ReportFieldObject &field, const QString &sText,
                       const ReportFieldStyle &style) const;

    // dBandY: the band's top in template units; nHeight: the height the
    // field takes (its own, or the band's for automatic height).
    void DrawText(const ReportFieldObject &field, const QString &sText,
                  const ReportFieldStyle &style, double dBandY, int nHeight);
    void DrawShape(const ReportFieldObject &field, const ReportFieldStyle &style, double dBandY);
    void DrawLine(const ReportFieldObject &field, double dBandY);
    void DrawPicture(const ReportFieldObject &field, const QImage &image, double dBandY);
    void DrawDiagram(const ReportFieldObject &field, const QVariantList &values, double dBandY);
    void DrawBarcode(const ReportFieldObject &field, const QString &sText, double dBandY);
    void DrawCrossTab(const ReportFieldObject &field, double dBandY);

    // Text with <b>, <i>, <u>, <s>, <sub> or <sup> is laid out as HTML.
    static bool HasSimpleTags(const QString &sText);
    // Escapes the text for HTML, keeping the six simple tags.
    static QString SimpleTagsToHtml(const QString &sText);
    static QString FormattedHtml(const ReportFieldObject &field, const QString &sText,
                                 const ReportFieldStyle &style, double dWidth, double dHeight);

private:
    QRectF FieldRect(const ReportFieldObject &field, double dBandY, int nHeight) const;
    QRectF TextRect(const QRectF &rect) const;
    int TextFlags(const ReportFieldObject &field) const;
    double BorderPenWidth(int nWidth) const;
    void DrawEdges(const ReportFieldObject &field, const QRectF &rect);
    double DocumentHeight(const ReportFieldObject &field, const QString &sHtml,
                          const ReportFieldStyle &style, double dWidth) const;
    void DrawDocument(const ReportFieldObject &field, const QString &sHtml,
                      const ReportFieldStyle &style, const QRectF &rect);

    QPainter *m_pPainter;
    double m_dKw = 1;
    double m_dKh = 1;
};
