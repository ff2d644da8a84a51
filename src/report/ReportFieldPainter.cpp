#include "report/ReportFieldPainter.h"

#include "report/ReportCrossTab.h"
#include "report/ReportFieldObject.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QTextDocument>
#include <QtMath>

namespace
{
// Longest text laid out; beyond it a single cell could stall the rendering.
constexpr int kMaxTextLength = 100000;

// Text is placed 10 device pixels right of the field and 15 pixels narrower.
constexpr double kTextInsetLeft = 10;
constexpr double kTextInsetWidth = 15;

QString Clipped(const QString &sText)
{
    return sText.size() > kMaxTextLength ? sText.left(kMaxTextLength) : sText;
}

const QRegularExpression &SimpleTagPattern()
{
    static const QRegularExpression pattern(QStringLiteral("</?(b|i|u|s|sub|sup)>"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}
} // namespace

ReportFieldPainter::ReportFieldPainter(QPainter *pPainter) : m_pPainter(pPainter) {}

void ReportFieldPainter::SetScale(double dKw, double dKh)
{
    m_dKw = dKw > 0 ? dKw : 1;
    m_dKh = dKh > 0 ? dKh : 1;
}

QRectF ReportFieldPainter::FieldRect(const ReportFieldObject &field, double dBandY,
                                     int nHeight) const
{
    const double dWidth = qMax(0, field.rect.width() - 1) * m_dKw;
    return QRectF(field.rect.left() * m_dKw, (field.rect.top() + dBandY) * m_dKh, dWidth,
                  qMax(0, nHeight) * m_dKh);
}

QRectF ReportFieldPainter::TextRect(const QRectF &rect) const
{
    return QRectF(rect.left() + kTextInsetLeft, rect.top(),
                  qMax(1.0, rect.width() - kTextInsetWidth), rect.height());
}

int ReportFieldPainter::TextFlags(const ReportFieldObject &field) const
{
    int nFlags = int(field.alignment) | Qt::TextDontClip;
    if (field.bTextWrap)
        nFlags |= Qt::TextWordWrap;
    return nFlags;
}

double ReportFieldPainter::BorderPenWidth(int nWidth) const
{
    // One template pixel of edge is half a template unit wide on paper.
    return qMax(1.0, nWidth * m_dKw * 0.5);
}

bool ReportFieldPainter::HasSimpleTags(const QString &sText)
{
    return sText.contains(QLatin1Char('<')) && SimpleTagPattern().match(sText).hasMatch();
}

QString ReportFieldPainter::SimpleTagsToHtml(const QString &sText)
{
    QString sHtml = sText.toHtmlEscaped();
    static const char *apTags[] = {"b", "i", "u", "s", "sub", "sup"};
    for (const char *pTag : apTags) {
        const QString sTag = QString::fromLatin1(pTag);
        sHtml.replace(QStringLiteral("&lt;") + sTag + QStringLiteral("&gt;"),
                      QLatin1Char('<') + sTag + QLatin1Char('>'), Qt::CaseInsensitive);
        sHtml.replace(QStringLiteral("&lt;/") + sTag + QStringLiteral("&gt;"),
                      QStringLiteral("</") + sTag + QLatin1Char('>'), Qt::CaseInsensitive);
    }
    sHtml.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return sHtml;
}

QString ReportFieldPainter::FormattedHtml(const ReportFieldObject &field, const QString &sText,
                                          const ReportFieldStyle &style, double dWidth,
                                          double dHeight)
{
    QString sAlign = QStringLiteral("align='left'");
    if (field.alignment & Qt::AlignRight)
        sAlign = QStringLiteral("align='right'");
    else if (field.alignment & Qt::AlignHCenter)
        sAlign = QStringLiteral("align='center'");
    else if (field.alignment & Qt::AlignJustify)
        sAlign = QStringLiteral("align='justify'");
    QString sVAlign = QStringLiteral("valign='top'");
    if (field.alignment & Qt::AlignBottom)
        sVAlign = QStringLiteral("valign='bottom'");
    else if (field.alignment & Qt::AlignVCenter)
        sVAlign = QStringLiteral("valign='middle'");
    const QColor color = style.fontColor.isValid() ? style.fontColor : QColor(Qt::black);
    return QStringLiteral("<table cellpadding='0' width='%1' height='%2'><tr><td %3 %4>"
                          "<span style='font-size:%5pt; font-family:%6; color:%7'>")
               .arg(qRound(dWidth))
               .arg(qRound(dHeight))
               .arg(sAlign, sVAlign)
               .arg(style.font.pointSizeF() > 0 ? style.font.pointSizeF() : 9.0)
               .arg(style.font.family().toHtmlEscaped(), color.name()) +
           SimpleTagsToHtml(sText) + QStringLiteral("</span></td></tr></table>");
}

double ReportFieldPainter::DocumentHeight(const ReportFieldObject &field, const QString &sHtml,
                                          const ReportFieldStyle &style, double dWidth) const
{
    QTextDocument document;
    document.documentLayout()->setPaintDevice(m_pPainter->device());
    document.setDefaultFont(style.font);
    document.setDocumentMargin(0);
    document.setHtml(sHtml);
    document.setTextWidth(dWidth);
    Q_UNUSED(field)
    return document.size().height();
}

void ReportFieldPainter::DrawDocument(const ReportFieldObject &field, const QString &sHtml,
                                      const ReportFieldStyle &style, const QRectF &rect)
{
    Q_UNUSED(field)
    QTextDocument document;
    document.documentLayout()->setPaintDevice(m_pPainter->device());
    document.setDefaultFont(style.font);
    document.setDocumentMargin(0);
    document.setHtml(sHtml);
    document.setTextWidth(rect.width());
    m_pPainter->save();
    m_pPainter->translate(rect.topLeft());
    QAbstractTextDocumentLayout::PaintContext context;
    if (style.fontColor.isValid())
        context.palette.setColor(QPalette::Text, style.fontColor);
    document.documentLayout()->draw(m_pPainter, context);
    m_pPainter->restore();
}

double ReportFieldPainter::MeasureText(const ReportFieldObject &field, const QString &sText,
                                       const ReportFieldStyle &style) const
{
    if (sText.isEmpty())
        return 0;
    const QString sClipped = Clipped(sText);
    const QRectF rect = TextRect(FieldRect(field, 0, field.rect.height()));
    double dHeight = 0;
    if (field.type == ReportFieldObject::TextRich) {
        dHeight = DocumentHeight(field, sClipped, style, rect.width());
    } else if (HasSimpleTags(sClipped)) {
        dHeight = DocumentHeight(field, FormattedHtml(field, sClipped, style, rect.width(), 0),
                                 style, rect.width());
    } else {
        m_pPainter->setFont(style.font);
        dHeight = m_pPainter->boundingRect(rect, TextFlags(field), sClipped).height();
    }
    return dHeight / m_dKh;
}

void ReportFieldPainter::DrawEdges(const ReportFieldObject &field, const QRectF &rect)
{
    struct Edge {
        QColor color;
        QPointF from;
        QPointF to;
    };
    const Edge aEdges[] = {{field.borderTop, rect.topLeft(), rect.topRight()},
                           {field.borderBottom, rect.bottomLeft(), rect.bottomRight()},
                           {field.borderLeft, rect.topLeft(), rect.bottomLeft()},
                           {field.borderRight, rect.topRight(), rect.bottomRight()}};
    for (const Edge &edge : aEdges) {
        if (!edge.color.isValid() || edge.color.alpha() == 0 || field.nBorderWidth <= 0)
            continue;
        QPen pen(edge.color, BorderPenWidth(field.nBorderWidth), field.borderStyle);
        pen.setCapStyle(Qt::SquareCap);
        m_pPainter->setPen(pen);
        m_pPainter->drawLine(edge.from, edge.to);
    }
}

void ReportFieldPainter::DrawText(const ReportFieldObject &field, const QString &sText,
                                  const ReportFieldStyle &style, double dBandY, int nHeight)
{
    const QRectF rect = FieldRect(field, dBandY, nHeight);
    m_pPainter->save();
    if (field.nRotate % 360 != 0) {
        m_pPainter->translate(rect.center());
        m_pPainter->rotate(field.nRotate);
        m_pPainter->translate(-rect.center());
    }
    if (style.backgroundColor.isValid() && style.backgroundColor.alpha() > 0 && rect.width() > 2 &&
        rect.height() > 2)
        m_pPainter->fillRect(rect.adjusted(1, 1, -1, -1), style.backgroundColor);
    DrawEdges(field, rect);
    const QString sClipped = Clipped(sText);
    if (!sClipped.isEmpty() && style.fontColor.isValid()) {
        const QRectF textRect = TextRect(rect);
        if (field.type == ReportFieldObject::TextRich) {
            DrawDocument(field, sClipped, style, textRect);
        } else if (HasSimpleTags(sClipped)) {
            DrawDocument(field,
                         FormattedHtml(field, sClipped, style, textRect.width(), textRect.height()),
                         style, textRect);
        } else {
            m_pPainter->setFont(style.font);
            m_pPainter->setPen(style.fontColor);
            m_pPainter->drawText(textRect, TextFlags(field), sClipped);
        }
    }
    m_pPainter->restore();
}

void ReportFieldPainter::DrawShape(const ReportFieldObject &field, const ReportFieldStyle &style,
                                   double dBandY)
{
    const QRectF rect = FieldRect(field, dBandY, field.rect.height());
    m_pPainter->save();
    if (field.nRotate % 360 != 0) {
        m_pPainter->translate(rect.center());
        m_pPainter->rotate(field.nRotate);
        m_pPainter->translate(-rect.center());
    }
    if (field.borderColor.isValid() && field.borderColor.alpha() > 0 && field.nBorderWidth > 0)
        m_pPainter->setPen(
            QPen(field.borderColor, BorderPenWidth(field.nBorderWidth), field.borderStyle));
    else
        m_pPainter->setPen(Qt::NoPen);
    if (style.backgroundColor.isValid())
        m_pPainter->setBrush(style.backgroundColor);
    else
        m_pPainter->setBrush(Qt::NoBrush);
    switch (field.type) {
    case ReportFieldObject::RoundedRectangle: {
        const double dRadius = qMin(rect.width(), rect.height()) * 0.1;
        m_pPainter->drawRoundedRect(rect, dRadius, dRadius);
        break;
    }
    case ReportFieldObject::Circle:
        m_pPainter->drawEllipse(rect);
        break;
    case ReportFieldObject::Triangle: {
        const QPointF apPoints[] = {QPointF(rect.center().x(), rect.top()), rect.bottomRight(),
                                    rect.bottomLeft()};
        m_pPainter->drawPolygon(apPoints, 3);
        break;
    }
    case ReportFieldObject::Rhombus: {
        const QPointF apPoints[] = {
            QPointF(rect.center().x(), rect.top()), QPointF(rect.right(), rect.center().y()),
            QPointF(rect.center().x(), rect.bottom()), QPointF(rect.left(), rect.center().y())};
        m_pPainter->drawPolygon(apPoints, 4);
        break;
    }
    default:
        m_pPainter->drawRect(rect);
        break;
    }
    m_pPainter->restore();
}

void ReportFieldPainter::DrawLine(const ReportFieldObject &field, double dBandY)
{
    if (!field.borderColor.isValid() || field.borderColor.alpha() == 0 || field.nBorderWidth <= 0)
        return;
    const QPointF start(field.lineStart.x() * m_dKw, (field.lineStart.y() + dBandY) * m_dKh);
    const QPointF end(field.lineEnd.x() * m_dKw, (field.lineEnd.y() + dBandY) * m_dKh);
    const double dWidth = BorderPenWidth(field.nBorderWidth);
    m_pPainter->save();
    m_pPainter->setPen(QPen(field.borderColor, dWidth, field.borderStyle));
    m_pPainter->drawLine(start, end);
    const QLineF line(start, end);
    if ((field.bArrowStart || field.bArrowEnd) && line.length() > 0) {
        m_pPainter->setBrush(field.borderColor);
        const double dSize = dWidth * 6;
        auto arrow = [&](const QPointF &tip, double dAngle) {
            const double dRad = qDegreesToRadians(dAngle);
            const QPointF p1 = tip + QPointF(std::cos(dRad + M_PI / 7) * dSize,
                                             -std::sin(dRad + M_PI / 7) * dSize);
            const QPointF p2 = tip + QPointF(std::cos(dRad - M_PI / 7) * dSize,
                                             -std::sin(dRad - M_PI / 7) * dSize);
            const QPointF apPoints[] = {tip, p1, p2};
            m_pPainter->drawPolygon(apPoints, 3);
        };
        if (field.bArrowEnd)
            arrow(end, line.angle() + 180);
        if (field.bArrowStart)
            arrow(start, line.angle());
    }
    m_pPainter->restore();
}

void ReportFieldPainter::DrawPicture(const ReportFieldObject &field, const QImage &image,
                                     double dBandY)
{
    const QRectF rect = FieldRect(field, dBandY, field.rect.height());
    if (image.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    QRectF target = rect;
    if (!field.bIgnoreAspectRatio) {
        QSizeF size = image.size();
        size.scale(rect.size(), Qt::KeepAspectRatio);
        target = QRectF(QPointF(0, 0), size);
        target.moveCenter(rect.center());
    }
    m_pPainter->drawImage(target, image);
}

void ReportFieldPainter::DrawDiagram(const ReportFieldObject &field, const QVariantList &values,
                                     double dBandY)
{
    const QRectF rect = FieldRect(field, dBandY, field.rect.height());
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    m_pPainter->save();
    m_pPainter->setPen(QPen(Qt::black, 0));
    m_pPainter->drawRect(rect);
    double dMax = 0;
    for (const QVariant &value : values)
        dMax = qMax(dMax, value.toDouble());
    const int nCount = qMin(values.size(), 1000);
    if (nCount > 0 && dMax > 0) {
        const double dStep = rect.width() / nCount;
        m_pPainter->setBrush(field.backgroundColor.isValid() ? field.backgroundColor
                                                             : QColor(Qt::gray));
        for (int i = 0; i < nCount; ++i) {
            const double dHeight = qMax(0.0, values.at(i).toDouble()) / dMax * rect.height();
            m_pPainter->drawRect(QRectF(rect.left() + i * dStep + dStep * 0.1,
                                        rect.bottom() - dHeight, dStep * 0.8, dHeight));
        }
    }
    m_pPainter->restore();
}

// Barcodes are shown as their framed text.
void ReportFieldPainter::DrawBarcode(const ReportFieldObject &field, const QString &sText,
                                     double dBandY)
{
    const QRectF rect = FieldRect(field, dBandY, field.rect.height());
    m_pPainter->save();
    m_pPainter->setPen(QPen(Qt::black, 0));
    m_pPainter->drawRect(rect);
    m_pPainter->setFont(field.font);
    m_pPainter->drawText(rect, Qt::AlignCenter | Qt::TextDontClip, Clipped(sText));
    m_pPainter->restore();
}

void ReportFieldPainter::DrawCrossTab(const ReportFieldObject &field, double dBandY)
{
    if (!field.pCrossTab)
        return;
    m_pPainter->save();
    m_pPainter->setFont(field.font);
    field.pCrossTab->Draw(m_pPainter, FieldRect(field, dBandY, field.rect.height()));
    m_pPainter->restore();
}
