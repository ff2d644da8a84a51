#include "update/PackageRepair.h"

#include "net/SecretMask.h"
#include "net/ServerProtocol.h"
#include "platform/DiskVolume.h"
#include "update/DiffDownload.h"
#include "update/PackageManifest.h"
#include "update/PackageNames.h"
#include "update/SafePath.h"
#include "update/UpdateCatalogue.h"

#include <QDebug>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QSet>

PackageRepair::PackageRepair(const DownloadRequest &deviceRequest) : device(deviceRequest) {}

void PackageRepair::Cancel()
{
    QMutexLocker lock(&mutex);
    bCancelled = true;
    if (pRunning)
        pRunning->Stop();
}

void PackageRepair::SetProgress(std::function<void(int)> onNewProgress)
{
    onProgress = std::move(onNewProgress);
}

bool PackageRepair::ListsAFault(const QJsonObject &joServer, const PackageCheckResult &check,
                                const QString &sDisk)
{
    const bool bFoldCase = NamesIgnoreCase(sDisk.toStdString());
    QSet<QString> faults;
    for (const FileFault &fault : check.faults) {
        if (!fault.sLocal.isEmpty())
            faults.insert(bFoldCase ? fault.sLocal.toCaseFolded() : fault.sLocal);
    }
    const QString sLang = PackageManifest(joServer).Lang();
    QHash<QString, QString> canonicalFolders;
    const QJsonArray jaFiles = joServer.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : jaFiles) {
        const FileEntry entry = FileEntry::FromJson(value.toObject());
        const QString sLocal = PathInside(
            sDisk, PackageManifest::WithoutLanguagePrefix(entry.sPath, sLang), &canonicalFolders);
        if (!sLocal.isEmpty() && faults.contains(bFoldCase ? sLocal.toCaseFolded() : sLocal))
            return true;
    }
    return false;
}

QJsonObject PackageRepair::RestrictToFaults(const QJsonObject &joServer,
                                            const PackageCheckResult &check, const QString &sDisk,
                                            int *pUnavailable)
{
    const bool bFoldCase = NamesIgnoreCase(sDisk.toStdString());
    auto key = [bFoldCase](const QString &sLocal) {
        return bFoldCase ? sLocal.toCaseFolded() : sLocal;
    };
    int nUnavailable = 0;
    QHash<QString, QString> wanted; // place -> the installed digest
    for (const FileFault &fault : check.faults) {
        if (fault.sLocal.isEmpty())
            ++nUnavailable; // refused: no file may go there
        else
            wanted.insert(key(fault.sLocal), fault.sHash);
    }

    const QString sLang = PackageManifest(joServer).Lang();
    QHash<QString, QString> canonicalFolders;
    QSet<QString> found;
    QJsonArray jaKept;
    const QJsonArray jaFiles = joServer.value(QLatin1String("files")).toArray();
    for (const QJsonValue &value : jaFiles) {
        const FileEntry entry = FileEntry::FromJson(value.toObject());
        const QString sLocal = PathInside(
            sDisk, PackageManifest::WithoutLanguagePrefix(entry.sPath, sLang), &canonicalFolders);
        if (sLocal.isEmpty())
            continue;
        const QString sKey = key(sLocal);
        const auto it = wanted.constFind(sKey);
        // Another digest would bring a file of another revision.
        if (it == wanted.constEnd() || it.value().compare(entry.sHash, Qt::CaseInsensitive) != 0)
            continue;
        jaKept.append(value);
        found.insert(sKey);
    }
    nUnavailable += wanted.size() - found.size();
    if (pUnavailable)
        *pUnavailable = nUnavailable;
    QJsonObject joRestricted = joServer;
    joRestricted.insert(QLatin1String("files"), jaKept);
    return joRestricted;
}

PackageRepairResult PackageRepair::Repair(const PackageCheckResult &check)
{
    PackageRepairResult result;
    if (check.state == PackageCheckResult::Cancelled)
        result.state = PackageRepairResult::Cancelled;
    if (check.state != PackageCheckResult::Damaged)
        return result;
    {
        QMutexLocker lock(&mutex);
        if (bCancelled) {
            result.state = PackageRepairResult::Cancelled;
            return result;
        }
    }

    const PackageManifest installed(check.joManifest);
    DownloadRequest request = device;
    request.sDir = installed.Dir();
    // As kept in the manifest the branch is the server's ("DASH", or "Dash" for the mandatory
    // Public package); the download page asks for it otherwise.
    request.sBranch = RequestedBranch(check.joManifest.value(PackageNameKey()).toString(),
                                      check.joManifest.value(QLatin1String("branch")).toString());
    const QJsonObject joData = DownloadRequestData(request);
    qDebug() << "repair" << check.sFolder
             << MaskSecrets(QJsonDocument(joData).toJson(QJsonDocument::Compact));
    const CommandReply reply = SendSealedCommand(CommandDownloadList, joData);
    bool bUsable = false;
    // The package of this very folder first; the server is asked by the folder's last
    // name only and may spell the rest of "dir" otherwise.
    QList<QJsonObject> packages = MatchingPackages(reply.joReply, reply.bParsed, request, &bUsable);
    if (bUsable && packages.isEmpty()) {
        // Under another spelling only the package that lists a damaged file is this one:
        // another package of that last name is not.
        const QList<QJsonObject> named =
            RowPackages(reply.joReply, reply.bParsed, request, &bUsable);
        for (const QJsonObject &joPackage : named) {
            if (ListsAFault(joPackage, check, request.sDisk))
                packages.append(joPackage);
        }
    }
    if (!bUsable) {
        result.state = PackageRepairResult::BadReply;
        return result;
    }
    if (packages.isEmpty()) {
        result.state = PackageRepairResult::NotOnServer;
        return result;
    }
    const QJsonObject *pSameRevision = nullptr;
    for (const QJsonObject &joPackage : packages) {
        if (PackageManifest(joPackage).Rev().compare(installed.Rev(), Qt::CaseInsensitive) == 0) {
            pSameRevision = &joPackage;
            break;
        }
    }
    if (!pSameRevision) {
        result.state = PackageRepairResult::UpdateAvailable;
        result.sServerRev = PackageManifest(packages.first()).Rev();
        return result;
    }

    int nUnavailable = 0;
    const QJsonObject joRestricted =
        RestrictToFaults(*pSameRevision, check, request.sDisk, &nUnavailable);
    const int nWanted = joRestricted.value(QLatin1String("files")).toArray().size();
    int nSuccess = 0;
    int nErr = 0;
    if (nWanted > 0) {
        DiffDownload downloader;
        QObject::connect(&downloader, &DiffDownload::Progress, [this](int nPercent) {
            if (onProgress)
                onProgress(nPercent);
        });
        QObject::connect(&downloader, &DiffDownload::DownloadFinish,
                         [&nSuccess, &nErr](int nOk, int nFailed, bool) {
                             nSuccess = nOk;
                             nErr = nFailed;
                         });
        downloader.SetSavePath(request.sDisk);
        downloader.SetPackageJson(joRestricted);
        {
            QMutexLocker lock(&mutex);
            if (bCancelled) {
                result.state = PackageRepairResult::Cancelled;
                return result;
            }
            pRunning = &downloader;
        }
        downloader.StartDownload();
        QMutexLocker lock(&mutex);
        pRunning = nullptr;
        if (bCancelled)
            result.state = PackageRepairResult::Cancelled;
    }
    // -1: every file was found whole again when the download looked.
    result.nRepaired = nSuccess == -1 ? nWanted : nSuccess;
    result.nFailed = nErr + nUnavailable;
    if (result.state == PackageRepairResult::Cancelled)
        return result;
    if (result.nFailed == 0)
        result.state = PackageRepairResult::Repaired;
    else if (result.nRepaired > 0)
        result.state = PackageRepairResult::PartlyRepaired;
    else
        result.state = PackageRepairResult::NotRepaired;
    return result;
}
