#include "dataviewer/ReportData.h"

#include <QCoreApplication>

namespace
{

QString ItemText(const QJsonArray &jaItems, int nRecNo, const QString &sMember)
{
    return jaItems.at(nRecNo).toObject().value(sMember).toString();
}

QString CountText(const QJsonObject &joItem)
{
    const QJsonArray jaCodes = joItem.value("IES").toArray();
    return jaCodes.isEmpty() ? joItem.value("VA").toString() : QString::number(jaCodes.size());
}

QString Tr(const char *szText)
{
    return QCoreApplication::translate("Report", szText);
}

} // namespace

void ReportData::ClearItems()
{
    jaItems = QJsonArray();
    lstFlat.clear();
}

void ReportData::Clear()
{
    ClearItems();
    joHeader = QJsonObject();
    sTitle.clear();
}

void ReportData::Apply(const ReportRecord &record)
{
    ClearItems();
    if (record.bHasHeader)
        joHeader = record.joHeader;
    if (!record.bHasContent)
        return;
    sTitle = record.sTitle;
    jaItems = record.jaItems;
    if (!jaItems.isEmpty() && jaItems.at(0).toObject().contains("IES"))
        lstFlat = FlatList(jaItems);
}

int ReportData::RecordCount() const
{
    return lstFlat.isEmpty() ? jaItems.size() : lstFlat.size();
}

QList<DtcRow> ReportData::FlatList(const QJsonArray &jaItems)
{
    QList<DtcRow> lst;
    for (const QJsonValue &value : jaItems) {
        const QJsonObject joItem = value.toObject();
        lst.append({joItem.value("LB").toString(), QString(), CountText(joItem)});
    }
    lst.append(DtcRow());
    for (int i = 0; i < jaItems.size(); ++i) {
        const QJsonObject joItem = jaItems.at(i).toObject();
        lst.append({joItem.value("LB").toString(), QString(), CountText(joItem)});
        for (const QJsonValue &code : joItem.value("IES").toArray()) {
            const QJsonObject joCode = code.toObject();
            lst.append({joCode.value("DID").toString(), joCode.value("STAT").toString(),
                        joCode.value("DDE").toString()});
        }
        if (i + 1 < jaItems.size())
            lst.append(DtcRow());
    }
    return lst;
}

QString ReportData::VersionText(const QJsonArray &jaValues)
{
    if (jaValues.size() == 1)
        return jaValues.at(0).toString();
    QString sText;
    for (const QJsonValue &value : jaValues)
        sText += QString("[%1]").arg(value.toString().trimmed());
    return sText;
}

QString ReportData::Value(int nRecNo, const QString &sName) const
{
    if (sName == "ReportTitle")
        return Tr(QT_TRANSLATE_NOOP("Report", "车辆诊断报告"));
    if (sName == "CarInfo")
        return Tr(QT_TRANSLATE_NOOP("Report", "车辆信息"));
    if (sName == "HeaderName")
        return Tr(QT_TRANSLATE_NOOP("Report", "名称"));
    if (sName == "HeaderValue")
        return Tr(QT_TRANSLATE_NOOP("Report", "数值"));
    if (sName == "HeaderUnit")
        return Tr(QT_TRANSLATE_NOOP("Report", "单位"));
    if (sName == "VehicleName")
        return joHeader.value("VehicleName").toString();
    if (sName == "TT")
        return sTitle;

    const bool bItem = nRecNo >= 0 && nRecNo < jaItems.size();
    if (sName == "LB" || sName == "VA" || sName == "UNT")
        return bItem ? ItemText(jaItems, nRecNo, sName) : sName;
    if (sName == "HeaderErrCode")
        return Tr(QT_TRANSLATE_NOOP("Report", "故障码"));
    if (sName == "HeaderState")
        return Tr(QT_TRANSLATE_NOOP("Report", "状态"));
    if (sName == "HeaderDescription")
        return Tr(QT_TRANSLATE_NOOP("Report", "描述"));
    if (sName == "DID" || sName == "STAT" || sName == "DDE")
        return bItem ? ItemText(jaItems, nRecNo, sName) : sName;
    if (sName == "VAarray")
        return bItem ? VersionText(jaItems.at(nRecNo).toObject().value("VA").toArray()) : sName;

    const bool bFlat = nRecNo >= 0 && nRecNo < lstFlat.size();
    if (sName == "MYDID")
        return bFlat ? lstFlat.at(nRecNo).sFirst : sName;
    if (sName == "MYSTAT")
        return bFlat ? lstFlat.at(nRecNo).sSecond : sName;
    if (sName == "MYDDE")
        return bFlat ? lstFlat.at(nRecNo).sThird : sName;
    return sName;
}
