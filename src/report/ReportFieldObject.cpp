#include "report/ReportFieldObject.h"

#include "report/ReportCrossTab.h"

#include <QByteArray>
#include <QHash>
#include <cmath>

namespace
{
int IntAttr(const QDomElement &element, const QString &sName, int nDefault)
{
    if (!element.hasAttribute(sName))
        return nDefault;
    QString sText = element.attribute(sName).trimmed();
    if (sText.endsWith(QLatin1String("px"), Qt::CaseInsensitive))
        sText.chop(2);
    bool bOk = false;
    const int nValue = sText.toInt(&bOk);
    if (bOk)
        return nValue;
    // Designers sometimes write "12.0". A number no int can hold is no
    // usable value either (and rounding it would be undefined).
    const double dValue = sText.toDouble(&bOk);
    if (!bOk || !std::isfinite(dValue) || std::fabs(dValue) >= 2147483647.0)
        return nDefault;
    return qRound(dValue);
}

bool BoolAttr(const QDomElement &element, const QString &sName, bool bDefault)
{
    if (!element.hasAttribute(sName))
        return bDefault;
    return IntAttr(element, sName, 0) != 0;
}

Qt::Alignment HorizontalAlignment(const QString &sText)
{
    if (sText == QLatin1String("hLeft"))
        return Qt::AlignLeft;
    if (sText == QLatin1String("hRight"))
        return Qt::AlignRight;
    if (sText == QLatin1String("hCenter"))
        return Qt::AlignHCenter;
    if (sText == QLatin1String("hJustify"))
        return Qt::AlignJustify;
    return {};
}

Qt::Alignment VerticalAlignment(const QString &sText)
{
    if (sText == QLatin1String("vTop"))
        return Qt::AlignTop;
    if (sText == QLatin1String("vBottom"))
        return Qt::AlignBottom;
    if (sText == QLatin1String("vCenter"))
        return Qt::AlignVCenter;
    return {};
}
} // namespace

ReportFieldObject::ReportFieldObject(QObject *parent) : QObject(parent) {}

ReportFieldObject::~ReportFieldObject()
{
    delete pCrossTab;
}

ReportFieldObject::FieldType ReportFieldObject::TypeFromName(const QString &sType)
{
    static const QHash<QString, FieldType> kinds = {
        {QStringLiteral("label"), Text},
        {QStringLiteral("labelImage"), TextImage},
        {QStringLiteral("textRich"), TextRich},
        {QStringLiteral("image"), Image},
        {QStringLiteral("diagram"), Diagram},
        {QStringLiteral("reactangle"), Rectangle},
        {QStringLiteral("roundedReactangle"), RoundedRectangle},
        {QStringLiteral("circle"), Circle},
        {QStringLiteral("triangle"), Triangle},
        {QStringLiteral("rhombus"), Rhombus},
        {QStringLiteral("line"), Line},
        {QStringLiteral("barcode"), Barcode},
        {QStringLiteral("DatabaseImage"), DatabaseImage},
        {QStringLiteral("crossTab"), CrossTab},
    };
    return kinds.value(sType, Text);
}

QColor ReportFieldObject::ParseColor(const QString &sColor)
{
    const int nOpen = sColor.indexOf(QLatin1Char('('));
    const int nClose = nOpen < 0 ? -1 : sColor.indexOf(QLatin1Char(')'), nOpen + 1);
    if (nOpen < 0 || nClose < 0) {
        // Scripts may hand over "#rrggbb" or a colour name.
        const QString sTrimmed = sColor.trimmed();
        if (!sTrimmed.isEmpty() && QColor::isValidColor(sTrimmed))
            return QColor(sTrimmed);
        return QColor();
    }
    const QStringList slParts = sColor.mid(nOpen + 1, nClose - nOpen - 1).split(QLatin1Char(','));
    if (slParts.size() < 3)
        return QColor();
    int anValue[4] = {0, 0, 0, 255};
    for (int i = 0; i < qMin(4, slParts.size()); ++i) {
        bool bOk = false;
        const int nValue = slParts.at(i).trimmed().toInt(&bOk);
        if (!bOk)
            return QColor();
        anValue[i] = qBound(0, nValue, 255);
    }
    return QColor(anValue[0], anValue[1], anValue[2], anValue[3]);
}

Qt::PenStyle ReportFieldObject::ParsePenStyle(const QString &sStyle)
{
    if (sStyle == QLatin1String("dashed"))
        return Qt::DashLine;
    if (sStyle == QLatin1String("dotted"))
        return Qt::DotLine;
    if (sStyle == QLatin1String("dot-dash"))
        return Qt::DashDotLine;
    if (sStyle == QLatin1String("dot-dot-dash"))
        return Qt::DashDotDotLine;
    return Qt::SolidLine;
}

QString ReportFieldObject::ColorToText(const QColor &color)
{
    if (!color.isValid())
        return QString();
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

void ReportFieldObject::LoadFromElement(const QDomElement &element)
{
    sTypeName = element.attribute(QStringLiteral("type"), QStringLiteral("label"));
    type = TypeFromName(sTypeName);
    const QString sPicture = element.attribute(QStringLiteral("picture"));
    if (element.hasAttribute(QStringLiteral("picture")) && sPicture != QLatin1String("text") &&
        type != DatabaseImage)
        type = Image;

    setObjectName(element.attribute(QStringLiteral("name")));
    sValue = element.attribute(QStringLiteral("value"));
    rect = QRect(IntAttr(element, QStringLiteral("left"), 0),
                 IntAttr(element, QStringLiteral("top"), 0),
                 qMax(0, IntAttr(element, QStringLiteral("width"), 0)),
                 qMax(0, IntAttr(element, QStringLiteral("height"), 0)));
    alignment = HorizontalAlignment(element.attribute(QStringLiteral("aligmentH"))) |
                VerticalAlignment(element.attribute(QStringLiteral("aligmentV")));

    if (element.hasAttribute(QStringLiteral("fontFamily")))
        font.setFamily(element.attribute(QStringLiteral("fontFamily")));
    const int nFontSize = IntAttr(element, QStringLiteral("fontSize"), 0);
    if (nFontSize > 0)
        font.setPointSize(qMin(nFontSize, 1000));
    font.setWeight(BoolAttr(element, QStringLiteral("fontBold"), false) ? 75 : 50);
    font.setItalic(BoolAttr(element, QStringLiteral("fontItalic"), false));
    font.setUnderline(BoolAttr(element, QStringLiteral("fontUnderline"), false));
    font.setStrikeOut(BoolAttr(element, QStringLiteral("fontStrikeout"), false));

    fontColor = element.hasAttribute(QStringLiteral("fontColor"))
                    ? ParseColor(element.attribute(QStringLiteral("fontColor")))
                    : QColor(Qt::black);
    backgroundColor = ParseColor(element.attribute(QStringLiteral("backgroundColor")));
    borderTop = ParseColor(element.attribute(QStringLiteral("borderTop")));
    borderBottom = ParseColor(element.attribute(QStringLiteral("borderBottom")));
    borderLeft = ParseColor(element.attribute(QStringLiteral("borderLeft")));
    borderRight = ParseColor(element.attribute(QStringLiteral("borderRight")));
    borderColor = ParseColor(element.attribute(QStringLiteral("borderColor")));
    nBorderWidth = qBound(0, IntAttr(element, QStringLiteral("borderWidth"), 1), 1000);
    borderStyle =
        ParsePenStyle(element.attribute(QStringLiteral("borderStyle"), QStringLiteral("solid")));

    bAutoHeight = BoolAttr(element, QStringLiteral("autoHeight"), false);
    bTextWrap = BoolAttr(element, QStringLiteral("textWrap"), true);
    nRotate = IntAttr(element, QStringLiteral("rotate"), 0);
    sFormat = element.attribute(QStringLiteral("format"));
    sHighlighting = element.attribute(QStringLiteral("highlighting"));
    sPrinting = element.attribute(QStringLiteral("printing"), QStringLiteral("1"));
    nRenderingMode = IntAttr(element, QStringLiteral("renderingMode"), 0);
    sImgFormat = element.attribute(QStringLiteral("imgFormat"), QStringLiteral("PNG"));
    if (type == Image || type == TextImage) {
        const QByteArray baData = QByteArray::fromBase64(sPicture.toLatin1());
        if (!baData.isEmpty() && !picture.loadFromData(baData, sImgFormat.toLatin1().constData()))
            picture.loadFromData(baData);
    }
    bIgnoreAspectRatio = BoolAttr(element, QStringLiteral("ignoreAspectRatio"), true);
    nBarcodeType = IntAttr(element, QStringLiteral("barcodeType"), 13);
    sBarcodeFrameType = element.attribute(QStringLiteral("barcodeFrameType"));
    nBarcodeHeight = IntAttr(element, QStringLiteral("barcodeHeight"), 50);
    lineStart = QPointF(IntAttr(element, QStringLiteral("lineStartX"), 0),
                        IntAttr(element, QStringLiteral("lineStartY"), 0));
    lineEnd = QPointF(IntAttr(element, QStringLiteral("lineEndX"), 0),
                      IntAttr(element, QStringLiteral("lineEndY"), 0));
    bArrowStart = BoolAttr(element, QStringLiteral("arrowStart"), false);
    bArrowEnd = BoolAttr(element, QStringLiteral("arrowEnd"), false);

    if (type == CrossTab) {
        delete pCrossTab;
        pCrossTab = new ReportCrossTab;
        pCrossTab->LoadFromElement(element);
    }
}
