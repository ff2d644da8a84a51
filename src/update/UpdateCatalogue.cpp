#include "update/UpdateCatalogue.h"

#include "update/InstalledManifest.h"
#include "update/PackageNames.h"
#include "update/SafePath.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonArray>
#include <QJsonValue>
#include <QObject>

QString DeviceType(const QString &sSN)
{
    if (sSN.startsWith(QLatin1Char('D'), Qt::CaseInsensitive))
        return QStringLiteral("kx520");
    if (sSN.startsWith(QLatin1Char('T'), Qt::CaseInsensitive))
        return QStringLiteral("kx410");
    return QStringLiteral("kx520pro");
}

QString PackageNameKey()
{
    //: Language code of the package names the server sends: CN or EN
    return QStringLiteral("%1_name").arg(QObject::tr("lang"));
}

QJsonObject CatalogueRequestData(const QString &sDevID, const QString &sSN, bool bTest)
{
    QJsonObject joData;
    joData.insert(QLatin1String("devid"), sDevID);
    joData.insert(QLatin1String("sn"), sSN);
    joData.insert(QLatin1String("pwd"), QString());
    joData.insert(QLatin1String("devtype"), DeviceType(sSN));
    joData.insert(QLatin1String("test"), bTest);
    return joData;
}

QString LocalVersionOf(const QString &sDisk, const QString &sPackageLang,
                       const QJsonObject &joPackage)
{
    if (sDisk.isEmpty())
        return QString();
    const QString sFolder = InstalledManifest::PackageFolder(sDisk, joPackage, sPackageLang);
    if (sFolder.isEmpty())
        return QString();
    bool bOk = false;
    const QJsonObject joInstalled = InstalledManifest::Read(sFolder, &bOk);
    return bOk ? joInstalled.value(QLatin1String("rev")).toString() : QString();
}

QList<CatalogueEntry>
ListedPackages(const QJsonObject &joReply, const std::function<QString()> &firmwareVersion,
               const std::function<QString(const QJsonObject &)> &localVersion)
{
    QList<CatalogueEntry> entries;
    const QJsonValue list = joReply.value(QLatin1String("list"));
    if (!list.isArray())
        return entries;
    const QString sNameKey = PackageNameKey();
    const QJsonArray jaList = list.toArray();
    for (const QJsonValue &value : jaList) {
        const QJsonObject joPackage = value.toObject();
        CatalogueEntry entry;
        entry.sName = joPackage.value(sNameKey).toString();
        entry.sLocalVersion =
            IsFirmwarePackageName(entry.sName) ? firmwareVersion() : localVersion(joPackage);
        entry.sServerVersion = joPackage.value(QLatin1String("rev")).toString();
        if (entry.sLocalVersion.compare(entry.sServerVersion, Qt::CaseInsensitive) == 0)
            continue; // up to date
        entry.sDir = joPackage.value(QLatin1String("dir")).toString();
        // The device's own places never hold a package: it could not be installed.
        if (entry.sName.isEmpty() || IsReservedPackageFolder(entry.sDir))
            continue;
        entry.bMandatory = IsMandatoryName(entry.sName);
        entry.sBranch =
            RequestedBranch(entry.sName, joPackage.value(QLatin1String("branch")).toString());
        entries << entry;
    }
    return entries;
}
