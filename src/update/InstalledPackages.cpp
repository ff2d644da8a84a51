#include "update/InstalledPackages.h"

#include "platform/DiskVolume.h"
#include "update/InstalledManifest.h"
#include "update/KeptPart.h"
#include "update/SafePath.h"
#include "update/TransferStopFlag.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QQueue>

namespace
{

// One pass over a folder's entries: whether it holds an installed manifest
// (any letter case, hidden or not) and, if not, its subfolders (hidden ones
// and links left out). Type and hidden state come from the listing itself,
// so the scan costs no file status call per entry. Kept parts of broken-off
// downloads that are too old are removed on the way. The disk's root is no
// package whatever it holds, and its folder of records is not searched.
bool ListFolder(const QString &sDir, bool bDiskRoot, QStringList *pSubFolders)
{
    pSubFolders->clear();
    QDirIterator it(sDir, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isDir()) {
            if (!bDiskRoot && info.fileName().compare(QLatin1String(InstalledManifest::FileName),
                                                      Qt::CaseInsensitive) == 0)
                return true;
            if (!KeptPart::TargetNameOf(info.fileName()).isEmpty())
                KeptPart::RemoveIfExpired(info);
            continue;
        }
        if (info.isSymLink() || info.isHidden())
            continue;
        if (bDiskRoot && IsReservedOnDisk({info.fileName()}))
            continue;
        pSubFolders->append(info.absoluteFilePath());
    }
    return false;
}

QString Canonical(const QString &sPath)
{
    return QFileInfo(sPath + QLatin1Char('/')).canonicalFilePath();
}

// Removes every installed manifest of the folder (any letter case: a disk
// that tells case apart may hold more than one); false when one stays.
bool RemoveInstalledManifests(const QString &sFolder)
{
    QDir dir(sFolder);
    const QStringList slNames = dir.entryList({QLatin1String(InstalledManifest::FileName)},
                                              QDir::Files | QDir::Hidden | QDir::System);
    bool bRemoved = true;
    for (const QString &sName : slNames) {
        if (!dir.remove(sName))
            bRemoved = false;
    }
    return bRemoved;
}

} // namespace

bool ScanInstalledPackages(const QString &sDisk,
                           const std::function<void(const QString &)> &onFound)
{
    if (sDisk.isEmpty())
        return true;
    QQueue<QString> queue;
    queue.enqueue(sDisk + QLatin1Char('/'));
    QStringList slSubFolders;
    bool bDiskRoot = true; // the first folder
    while (!queue.isEmpty()) {
        if (TransferStopFlag.load() != 0)
            return false;
        const QString sDir = queue.dequeue();
        const bool bPackage = ListFolder(sDir, bDiskRoot, &slSubFolders);
        bDiskRoot = false;
        if (bPackage) {
            onFound(sDir);
            continue;
        }
        for (const QString &sSub : qAsConst(slSubFolders))
            queue.enqueue(sSub);
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

QStringList RemovePackages(const QString &sDisk, const QStringList &slPaths)
{
    QStringList slRemoved;
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
        // The device's records are no package, whatever manifest lies among them.
        if (IsDeviceOwnFolder(sDisk, sPath)) {
            qDebug() << "not removed (the device's own place):" << sPath;
            continue;
        }
        // The manifest goes first, and is on the disk before anything else
        // goes: an uninstall that is cut short leaves a package that is not
        // installed (and is offered again), never one that claims to be
        // while its files are missing.
        if (!RemoveInstalledManifests(sPath)) {
            qDebug() << "not removed (its manifest stays):" << sPath;
            continue;
        }
        FlushFolder(sPath.toStdString());
        if (QDir(sPath).removeRecursively())
            slRemoved << sPath;
    }
    return slRemoved;
}
