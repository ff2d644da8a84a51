#include "update/DownloadRequest.h"

#include "update/UpdateCatalogue.h"

#include <QJsonArray>
#include <QJsonValue>
#include <functional>

QString LastPathComponent(const QString &sPath)
{
    QString sText = sPath;
    sText.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (sText.endsWith(QLatin1Char('/')))
        sText.chop(1);
    return sText.mid(sText.lastIndexOf(QLatin1Char('/')) + 1);
}

bool IsSamePackageFolder(const QString &sDir, const QString &sOtherDir)
{
    // The device disk ignores letter case; separators may be doubled, leading,
    // trailing or backslashes.
    auto parts = [](QString sPath) {
        sPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return sPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    };
    const QStringList slDir = parts(sDir);
    const QStringList slOther = parts(sOtherDir);
    if (slDir.isEmpty() || slDir.size() != slOther.size())
        return false;
    for (int i = 0; i < slDir.size(); ++i) {
        if (slDir.at(i).compare(slOther.at(i), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
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

namespace
{

QList<QJsonObject> PackagesOf(const QJsonObject &joReply, bool bParsed,
                              const DownloadRequest &request, bool *pUsable,
                              const std::function<bool(const QString &)> &isRows)
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
    for (const QJsonValue &value : jaList) {
        QJsonObject joPackage = value.toObject();
        if (!isRows(joPackage.value(QLatin1String("dir")).toString()))
            continue;
        joPackage.insert(QLatin1String("root"), sRoot);
        joPackage.insert(QLatin1String("lang"), request.sLang);
        packages << joPackage;
    }
    return packages;
}

} // namespace

QList<QJsonObject> RowPackages(const QJsonObject &joReply, bool bParsed,
                               const DownloadRequest &request, bool *pUsable)
{
    // The request names the folder by its last part only, so the server may
    // spell the rest otherwise. Where the files go is judged file by file.
    const QString sType = LastPathComponent(request.sDir);
    return PackagesOf(joReply, bParsed, request, pUsable, [&sType](const QString &sDir) {
        return LastPathComponent(sDir).compare(sType, Qt::CaseInsensitive) == 0;
    });
}

QList<QJsonObject> MatchingPackages(const QJsonObject &joReply, bool bParsed,
                                    const DownloadRequest &request, bool *pUsable)
{
    return PackagesOf(joReply, bParsed, request, pUsable, [&request](const QString &sDir) {
        return IsSamePackageFolder(sDir, request.sDir);
    });
}
