#include "report/ReportBand.h"

#include "report/ReportFieldObject.h"

#include <QHash>

ReportBand::ReportBand(QObject *parent) : QObject(parent) {}

ReportBand::BandType ReportBand::TypeFromName(const QString &sType)
{
    static const QHash<QString, BandType> kinds = {
        {QStringLiteral("PageHeader"), PageHeader},
        {QStringLiteral("ReportTitle"), ReportTitle},
        {QStringLiteral("MasterHeader"), MasterHeader},
        {QStringLiteral("DataGroupHeader"), DataGroupHeader},
        {QStringLiteral("MasterData"), MasterData},
        {QStringLiteral("DataGroupFooter"), DataGroupFooter},
        {QStringLiteral("MasterFooter"), MasterFooter},
        {QStringLiteral("ReportSummary"), ReportSummary},
        {QStringLiteral("PageFooter"), PageFooter},
    };
    return kinds.value(sType, Unknown);
}

void ReportBand::LoadFromElement(const QDomElement &element)
{
    auto intAttr = [&element](const char *pName, int nDefault) {
        bool bOk = false;
        const int nValue = element.attribute(QLatin1String(pName)).trimmed().toInt(&bOk);
        return bOk ? nValue : nDefault;
    };
    type = TypeFromName(element.attribute(QStringLiteral("type")));
    sName = element.attribute(QStringLiteral("name"));
    setObjectName(sName);
    nHeight = qBound(0, intAttr("height", 0), 1000000);
    nWidth = intAttr("width", 0);
    nLeft = intAttr("left", 0);
    nRight = intAttr("right", 0);
    nBandNo = intAttr("bandNo", 1);
    sDataSourceName = element.attribute(QStringLiteral("dataSourceName"));
    sGroupingField = element.attribute(QStringLiteral("groupingField"));
    nGroupLevel = intAttr("groupLevel", 0);
    bShowInGroup = intAttr("showInGroup", 0) != 0;
    bStartNewNumeration = intAttr("startNewNumeration", 0) != 0;
    bStartNewPage = intAttr("startNewPage", 0) != 0;

    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        auto *pField = new ReportFieldObject(this);
        pField->LoadFromElement(child);
        fields.append(pField);
    }
}
