#include "report/ReportPageObject.h"

#include "report/ReportBand.h"
#include "report/ReportDataSource.h"
#include "report/ReportFieldObject.h"

#include <algorithm>

ReportPageObject::ReportPageObject(QObject *parent) : QObject(parent) {}

void ReportPageObject::LoadFromElement(const QDomElement &element)
{
    auto intAttr = [&element](const char *pName, int nDefault) {
        QString sText = element.attribute(QLatin1String(pName)).trimmed();
        if (sText.endsWith(QLatin1String("px")))
            sText.chop(2);
        bool bOk = false;
        const int nValue = sText.toInt(&bOk);
        return bOk ? nValue : nDefault;
    };
    setObjectName(element.attribute(QStringLiteral("name")));
    nPageWidth = intAttr("pageWidth", 840);
    nPageHeight = intAttr("pageHeight", 1188);
    nMarginsLeft = intAttr("marginsLeft", 40);
    nMarginsRight = intAttr("marginsRight", 40);
    nMarginsTop = intAttr("marginsTop", 40);
    nMarginsBottom = intAttr("marginsBottom", 40);
    nOrientation = intAttr("orientation", 0);
    nPageNo = intAttr("pageNo", 1);
    bBorder = intAttr("border", 0) != 0;
    nBorderWidth = intAttr("borderWidth", 1);
    if (element.hasAttribute(QStringLiteral("borderColor")))
        borderColor =
            ReportFieldObject::ParseColor(element.attribute(QStringLiteral("borderColor")));
    borderStyle = ReportFieldObject::ParsePenStyle(
        element.attribute(QStringLiteral("borderStyle"), QStringLiteral("solid")));
    bWatermark = intAttr("watermark", 0) != 0;
    if (element.hasAttribute(QStringLiteral("watermarkOpacity"))) {
        bool bOk = false;
        const double dValue = element.attribute(QStringLiteral("watermarkOpacity")).toDouble(&bOk);
        dWatermarkOpacity = bOk ? qBound(0.0, dValue, 1.0) : 0.5;
    }
    const QByteArray baPicture =
        QByteArray::fromBase64(element.attribute(QStringLiteral("watermarkPixmap")).toLatin1());
    if (!baPicture.isEmpty())
        watermarkPixmap.loadFromData(baPicture);

    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("ReportBand")) {
            auto *pBand = new ReportBand(this);
            pBand->LoadFromElement(child);
            bands.append(pBand);
        } else if (child.tagName() == QLatin1String("DataSource")) {
            auto *pSource = new ReportDataSource(this);
            pSource->LoadFromElement(child);
            dataSources.append(pSource);
        }
    }
}

QList<ReportBand *> ReportPageObject::BandsOfType(int nType) const
{
    QList<ReportBand *> result;
    for (ReportBand *pBand : bands) {
        if (pBand->type == nType)
            result.append(pBand);
    }
    std::stable_sort(result.begin(), result.end(), [](const ReportBand *a, const ReportBand *b) {
        return a->nBandNo < b->nBandNo;
    });
    return result;
}

ReportBand *ReportPageObject::FindBand(int nType, int nBandNo) const
{
    for (ReportBand *pBand : bands) {
        if (pBand->type == nType && (nBandNo < 0 || pBand->nBandNo == nBandNo))
            return pBand;
    }
    return nullptr;
}

QList<int> ReportPageObject::DataBandNumbers() const
{
    QList<int> numbers;
    for (const ReportBand *pBand : bands) {
        switch (pBand->type) {
        case ReportBand::MasterHeader:
        case ReportBand::DataGroupHeader:
        case ReportBand::MasterData:
        case ReportBand::DataGroupFooter:
        case ReportBand::MasterFooter:
            if (!numbers.contains(pBand->nBandNo))
                numbers.append(pBand->nBandNo);
            break;
        default:
            break;
        }
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

ReportDataSource *ReportPageObject::FindDataSource(const QString &sName) const
{
    for (ReportDataSource *pSource : dataSources) {
        if (!pSource->sName.isEmpty() && pSource->sName == sName)
            return pSource;
    }
    return nullptr;
}
