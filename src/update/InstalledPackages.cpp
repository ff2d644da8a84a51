#include "update/InstalledPackages.h"

#include "device/DeviceState.h"
#include "update/InstalledManifest.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QQueue>

namespace
{

const QDir::Filters kFolders = QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks;

bool HoldsManifest(const QDir &dir)
{
    const QStringList slNames =
        dir.entryList({QLatin1String(InstalledManifest::FileName)}, QDir::Files | QDir::Hidden);
    for (const QString &sName : slNames) {
        if (sName.compare(QLatin1String(InstalledManifest::FileName), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString Canonical(const QString &sPath)
{
    return QFileInfo(sPath + QLatin1Char('/')).canonicalFilePath();
}

} // namespace

bool ScanInstalledPackages(const QString &sDisk,
                           const std::function<void(const QString &)> &onFound)
{
    if (sDisk.isEmpty())
        return true;
    QQueue<QString> queue;
    queue.enqueue(sDisk + QLatin1Char('/'));
    while (!queue.isEmpty()) {
        if (TransferStopFlag.load() != 0)
            return false;
        const QString sDir = queue.dequeue();
        const QDir dir(sDir);
        if (HoldsManifest(dir)) {
            onFound(sDir);
            continue;
        }
        const QFileInfoList subFolders = dir.entryInfoList(kFolders, QDir::NoSort);
        for (const QFileInfo &info : subFolders)
            queue.enqueue(info.absoluteFilePath());
    }
    return true;
}

InstalledPackage ReadInstalledPackage(const QString &sDir, const QString &sNameKey)
{
    InstalledPackage package;
    bool bOk = false;
    const QJsonObject joManifest = InstalledManifest::Read(sDir, &bOk);
    if (!bOk)
        return package;
    package.bRead = true;
    package.sName = joManifest.value(sNameKey).toString();
    package.sRev = joManifest.value(QLatin1String("rev")).toString();
    package.sBranch = joManifest.value(QLatin1String("branch")).toString().toLower();
    return package;
}

bool IsHomeFolder(const QString &sDir)
{
    return sDir.endsWith(QLatin1String("home"), Qt::CaseInsensitive);
}

quint64 DirectorySize(const QString &sPath)
{
    quint64 nBytes = 0;
    if (!QFileInfo(sPath).isDir())
        return 0;
    QQueue<QString> queue;
    queue.enqueue(sPath);
    while (!queue.isEmpty()) {
        const QDir dir(queue.dequeue());
        const QFileInfoList entries = dir.entryInfoList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort);
        for (const QFileInfo &info : entries) {
            if (info.isDir())
                queue.enqueue(info.absoluteFilePath());
            else
                nBytes += quint64(info.size());
        }
    }
    return nBytes;
}

void RemovePackages(const QString &sDisk, const QStringList &slPaths)
{
    const QString sDiskRoot = Canonical(sDisk);
    for (const QString &sPath : slPaths) {
        const QString sFolder = Canonical(sPath);
        const bool bInside =
            !sDiskRoot.isEmpty() && !sFolder.isEmpty() &&
            sFolder.startsWith(sDiskRoot.endsWith(QLatin1Char('/')) ? sDiskRoot
                                                                    : sDiskRoot + QLatin1Char('/'));
        if (!bInside) {
            qDebug() << "not removed (outside the device disk):" << sPath;
            continue;
        }
        QDir(sPath).removeRecursively();
    }
}
