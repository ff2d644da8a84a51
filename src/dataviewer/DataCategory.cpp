#include "dataviewer/DataCategory.h"

#include <QtGlobal>

QString SaveFolder(const QString &sDisk)
{
    return QString("%1/SaveData").arg(sDisk);
}

QList<DataCategory> DataCategories(const QString &sSaveFolder)
{
    struct Entry {
        const char *szPattern;
        int nNumber;
        const char *szTitle;
    };
    static const Entry entries[] = {
        {"%1/DataStreams", CategoryDataStream, QT_TRANSLATE_NOOP("QObject", "数据流")},
        {"%1/DTC", CategoryTroubleCode, QT_TRANSLATE_NOOP("QObject", "故障码")},
        {"%1/FreezeFrame", CategoryFreezeFrame, QT_TRANSLATE_NOOP("QObject", "冻结帧")},
        {"%1/SystemData", CategorySystemScan, QT_TRANSLATE_NOOP("QObject", "自动扫描结果")},
        {"%1/VehicleVersion", CategoryVehicleVersion, QT_TRANSLATE_NOOP("QObject", "版本信息")},
    };
    QList<DataCategory> lstCategories;
    for (const Entry &entry : entries)
        lstCategories.append(DataCategory{QString(entry.szPattern).arg(sSaveFolder), entry.nNumber,
                                          QString::fromUtf8(entry.szTitle)});
    return lstCategories;
}
