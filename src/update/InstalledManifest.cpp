#include "update/InstalledManifest.h"

#include "device/DeviceDiskFile.h"
#include "update/PackageManifest.h"
#include "update/SafePath.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

const char *const InstalledManifest::FileName = "Update.json";

QJsonObject InstalledManifest::FromPackage(const QJsonObject &joPackage, const QString &sLang)
{
    QJsonObject joInstalled = joPackage;
    QJsonArray jaFiles;
    const QJsonArray jaSource = joPackage.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : jaSource) {
        QJsonObject joEntry = value.toObject();
        const QString sPath = joEntry.value(QLatin1String("Path")).toString();
        joEntry.insert(QLatin1String("Path"), PackageManifest::WithoutLanguagePrefix(sPath, sLang));
        jaFiles.append(joEntry);
    }
    if (joPackage.contains(QLatin1String("files")))
        joInstalled.insert(QLatin1String("files"), jaFiles);
    joInstalled.remove(QLatin1String("root"));
    joInstalled.remove(QLatin1String("lang"));
    return joInstalled;
}

QString InstalledManifest::PackageFolder(const QString &sDisk, const QJsonObject &joPackage,
                                         const QString &sLang)
{
    const QString sDir = PackageManifest(joPackage).Dir();
    const QString sFolder = PathInside(sDisk, PackageManifest::WithoutLanguagePrefix(sDir, sLang));
    if (sFolder.isEmpty())
        qDebug() << "package folder refused:" << sDir;
    return sFolder;
}

QString InstalledManifest::FindIn(const QString &sFolder)
{
    const QDir dir(sFolder);
    const QString sExact = dir.filePath(QLatin1String(FileName));
    if (QFileInfo(sExact).isFile())
        return sExact;
    const QStringList slNames =
        dir.entryList({QLatin1String(FileName)}, QDir::Files | QDir::Hidden | QDir::System);
    // Name filters ignore case unless told otherwise.
    for (const QString &sName : slNames) {
        if (sName.compare(QLatin1String(FileName), Qt::CaseInsensitive) == 0)
            return dir.filePath(sName);
    }
    return QString();
}

QJsonObject InstalledManifest::Read(const QString &sFolder, bool *pOk)
{
    if (pOk)
        *pOk = false;
    const QString sPath = FindIn(sFolder);
    if (sPath.isEmpty())
        return {};
    QByteArray baJson;
    if (!DeviceDiskFile::ReadAll(sPath, DeviceDiskFile::ManifestLimit, &baJson))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(baJson);
    if (pOk)
        *pOk = document.isObject();
    return document.object();
}

bool InstalledManifest::Save(const QString &sDisk, const QJsonObject &joPackage,
                             const QString &sLang)
{
    qDebug() << "*****" << joPackage;
    const QString sFolder = PackageFolder(sDisk, joPackage, sLang);
    if (sFolder.isEmpty() || !QFileInfo(sFolder).isDir())
        return false;
    QString sPath = FindIn(sFolder);
    if (sPath.isEmpty())
        sPath = QDir(sFolder).filePath(QLatin1String(FileName));
    // QSaveFile writes through a link to its target, which may lie anywhere.
    if (QFileInfo(sPath).isSymLink() && !QFile::remove(sPath))
        return false;
    QSaveFile file(sPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(FromPackage(joPackage, sLang)).toJson(QJsonDocument::Indented));
    return file.commit();
}
