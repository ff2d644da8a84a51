#include "report/ReportHtmlWriter.h"

#include "report/ReportFieldObject.h"
#include "report/ReportFieldPainter.h"

#include <QBuffer>

QString ReportHtmlWriter::Prefix()
{
    return QStringLiteral("<HTML><HEAD><meta charset=\"UTF-8\"></HEAD><BODY>");
}

QString ReportHtmlWriter::Suffix()
{
    return QStringLiteral("</BODY></HTML>");
}

// Invisible colours (unset or fully transparent) must not turn into black.
QString ReportHtmlWriter::ColorText(const QColor &color)
{
    if (!color.isValid() || color.alpha() == 0)
        return QStringLiteral("transparent");
    return color.name(QColor::HexRgb);
}

QString ReportHtmlWriter::AlignmentWord(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignRight)
        return QStringLiteral("right");
    if (alignment & Qt::AlignHCenter)
        return QStringLiteral("center");
    if (alignment & Qt::AlignJustify)
        return QStringLiteral("justify");
    return QStringLiteral("left");
}

QString ReportHtmlWriter::TextDivision(const ReportFieldObject &field, const QString &sText,
                                       const ReportFieldStyle &style, int nX, int nY, int nW,
                                       int nH)
{
    QString sStyle =
        QStringLiteral("style='color:") + ColorText(style.fontColor) + QLatin1Char(';');
    sStyle += QStringLiteral("background:") + ColorText(style.backgroundColor) + QLatin1Char(';');
    sStyle +=
        QStringLiteral("border-left: solid thin ") + ColorText(field.borderLeft) + QLatin1Char(';');
    sStyle += QStringLiteral("border-right: solid thin ") + ColorText(field.borderRight) +
              QLatin1Char(';');
    sStyle +=
        QStringLiteral("border-top: solid thin ") + ColorText(field.borderTop) + QLatin1Char(';');
    sStyle += QStringLiteral("border-bottom: solid thin ") + ColorText(field.borderBottom) +
              QLatin1Char(';');
    sStyle += QStringLiteral("text-align:") + AlignmentWord(field.alignment) + QLatin1Char(';');
    const int nPointSize = style.font.pointSize() > 0 ? style.font.pointSize() : 9;
    sStyle +=
        QStringLiteral("font-size:") + QString::number(nPointSize + 5) + QStringLiteral("px;");
    sStyle += QStringLiteral("position: absolute; left: ") + QString::number(nX) + QLatin1Char(';');
    sStyle += QStringLiteral("top: ") + QString::number(nY) + QLatin1Char(';');
    sStyle += QStringLiteral("width: ") + QString::number(nW) + QLatin1Char(';');
    sStyle += QStringLiteral("height: ") + QString::number(nH) + QLatin1Char(';');
    if (style.font.weight() > 57)
        sStyle += QStringLiteral("font-weight: bold;");
    if (style.font.italic())
        sStyle += QStringLiteral("font-style: italic;");
    sStyle += QLatin1Char('\'');
    const QString sBody = field.type == ReportFieldObject::TextRich
                              ? sText
                              : ReportFieldPainter::SimpleTagsToHtml(sText);
    return QStringLiteral("<div ") + sStyle + QLatin1Char('>') + sBody + QStringLiteral("</div>\n");
}

QString ReportHtmlWriter::PictureDivision(const ReportFieldObject &field, const QImage &image,
                                          int nX, int nY, int nW, int nH)
{
    QByteArray baPng;
    if (!image.isNull() && nW > 0 && nH > 0) {
        const QImage scaled = image.scaled(nW, nH, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QBuffer buffer(&baPng);
        buffer.open(QIODevice::WriteOnly);
        scaled.save(&buffer, "PNG");
    }
    QString sHtml = QStringLiteral("<div style='position: absolute; left: ") + QString::number(nX) +
                    QLatin1Char(';');
    sHtml += QStringLiteral("top: ") + QString::number(nY) + QLatin1Char(';');
    sHtml += QStringLiteral("width: ") + QString::number(nW) + QLatin1Char(';');
    sHtml += QStringLiteral("height: ") + QString::number(nH) + QLatin1Char(';');
    sHtml += QStringLiteral("text-align:") + AlignmentWord(field.alignment) + QStringLiteral("'>");
    sHtml += QStringLiteral("<img width=") + QString::number(nW) + QStringLiteral(" height=") +
             QString::number(nH) + QLatin1Char(' ');
    sHtml += QStringLiteral("src=\"data:image/png;base64,") +
             QString::fromLatin1(baPng.toBase64()) + QLatin1Char('"');
    sHtml += QStringLiteral(" />") + QStringLiteral("</div>") + QLatin1Char('\n');
    return sHtml;
}
