#include "update/DownloadRequest.h"

#include "update/UpdateCatalogue.h"

#include <QJsonArray>
#include <QJsonValue>

QString LastPathComponent(const QString &sPath)
{
    QString sText = sPath;
    sText.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (sText.endsWith(QLatin1Char('/')))
        sText.chop(1);
    return sText.mid(sText.lastIndexOf(QLatin1Char('/')) + 1);
}

QJsonObject DownloadRequestData(const DownloadRequest &request)
{
    QJsonObject joData;
    joData.insert(QLatin1String("devid"), request.sDevID);
    joData.insert(QLatin1String("sn"), request.sSN);
    joData.insert(QLatin1String("pwd"), QString());
    joData.insert(QLatin1String("lang"), request.sLang);
    joData.insert(QLatin1String("type"), QJsonArray{LastPathComponent(request.sDir)});
    joData.insert(QLatin1String("branch"), request.sBranch);
    joData.insert(QLatin1String("devtype"), DeviceType(request.sSN));
    joData.insert(QLatin1String("test"), request.bTest);
    return joData;
}

QList<QJsonObject> MatchingPackages(const QJsonObject &joReply, bool bParsed,
                                    const DownloadRequest &request, bool *pUsable)
{
    QList<QJsonObject> packages;
    *pUsable = false;
    if (!bParsed)
        return packages;
    const QString sRoot = joReply.value(QLatin1String("root")).toString();
    const QJsonArray jaList = joReply.value(QLatin1String("list")).toArray();
    if (jaList.isEmpty())
        return packages;
    *pUsable = true;
    const QString sType = LastPathComponent(request.sDir);
    for (const QJsonValue &value : jaList) {
        QJsonObject joPackage = value.toObject();
        const QString sDir = joPackage.value(QLatin1String("dir")).toString();
        if (LastPathComponent(sDir).compare(sType, Qt::CaseInsensitive) != 0)
            continue;
        joPackage.insert(QLatin1String("root"), sRoot);
        joPackage.insert(QLatin1String("lang"), request.sLang);
        packages << joPackage;
    }
    return packages;
}
