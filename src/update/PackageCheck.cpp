#include "update/PackageCheck.h"

#include "base/FileUtils.h"
#include "base/ThreadHelpers.h"
#include "platform/DiskVolume.h"
#include "update/InstalledManifest.h"
#include "update/PackageManifest.h"
#include "update/SafePath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QVector>
#include <algorithm>
#include <mutex>

namespace
{

// One listed file at its place on the disk.
struct Entry {
    QString sPath;  // as listed
    QString sLocal; // empty: refused
    QString sHash;
    qint64 nSize = -1; // -1: not listed (or no usable number)
};

qint64 ListedSize(const QJsonValue &value)
{
    if (!value.isDouble())
        return -1;
    const double dSize = value.toDouble();
    if (dSize < 0 || dSize > 9.0e15 || dSize != double(qint64(dSize)))
        return -1;
    return qint64(dSize);
}

} // namespace

PackageCheck::PackageCheck(const QString &sDiskRoot) : sDisk(sDiskRoot) {}

void PackageCheck::SetCancelFlag(const std::atomic<bool> *pFlag)
{
    pCancel = pFlag;
}

void PackageCheck::SetProgress(ProgressFunction onNewProgress)
{
    onProgress = std::move(onNewProgress);
}

bool PackageCheck::IsCancelled() const
{
    return pCancel && pCancel->load();
}

PackageCheckResult PackageCheck::Check(const QString &sFolder) const
{
    PackageCheckResult result;
    result.sFolder = sFolder;
    if (IsCancelled())
        return result;
    if (IsDeviceOwnFolder(sDisk, sFolder)) {
        result.state = PackageCheckResult::NotAPackage;
        return result;
    }
    if (InstalledManifest::FindIn(sFolder).isEmpty()) {
        result.state = PackageCheckResult::ManifestMissing;
        return result;
    }
    bool bRead = false;
    const QJsonObject joManifest = InstalledManifest::Read(sFolder, &bRead);
    const QJsonValue files = joManifest.value(QLatin1String("files"));
    // Without its list of files a manifest tells nothing about the package.
    if (!bRead || !files.isArray()) {
        result.state = PackageCheckResult::ManifestUnreadable;
        return result;
    }
    result.joManifest = joManifest;

    // The places on the disk, as the downloader finds them: the same refusals,
    // and of two spellings of one place the later entry decides.
    const PackageManifest manifest(joManifest);
    const QString sLang = manifest.Lang();
    bool bFolderOk = false;
    manifest.FolderComponents(sLang, &bFolderOk);
    const bool bFoldCase = NamesIgnoreCase(sDisk.toStdString());
    // The manifest may list itself; on the disk it is the installed form, never
    // the server's file, so it is not judged (and never fetched by a repair).
    const QString sOwnManifest =
        QDir::cleanPath(sFolder + QLatin1Char('/') + QLatin1String(InstalledManifest::FileName));
    QList<Entry> entries;
    QHash<QString, int> places;
    QHash<QString, QString> canonicalFolders;
    const QJsonArray jaFiles = files.toArray();
    for (const QJsonValue &value : jaFiles) {
        const QJsonObject joEntry = value.toObject();
        Entry entry;
        entry.sPath = joEntry.value(QLatin1String("Path")).toString();
        entry.sHash = joEntry.value(QLatin1String("Hash")).toString();
        entry.nSize = ListedSize(joEntry.value(QLatin1String("Size")));
        const QString sRelative = PackageManifest::WithoutLanguagePrefix(entry.sPath, sLang);
        if (sRelative.endsWith(QLatin1String("config.json"), Qt::CaseInsensitive))
            continue;
        if (bFolderOk)
            entry.sLocal = PathInside(sDisk, sRelative, &canonicalFolders);
        if (QDir::cleanPath(entry.sLocal).compare(sOwnManifest, Qt::CaseInsensitive) == 0)
            continue;
        if (entry.sLocal.isEmpty()) {
            qDebug() << "file path refused:" << entry.sPath << "package folder" << manifest.Dir();
            entries.append(entry);
            continue;
        }
        const QString sKey = bFoldCase ? entry.sLocal.toCaseFolded() : entry.sLocal;
        const auto it = places.constFind(sKey);
        if (it != places.constEnd()) {
            entries[it.value()] = entry;
            continue;
        }
        places.insert(sKey, entries.size());
        entries.append(entry);
    }
    result.nFiles = entries.size();

    // What can be judged without reading; the rest is digested.
    QVector<int> toDigest;
    QVector<qint64> digestBytes;
    quint64 nTotal = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &entry = entries.at(i);
        if (entry.sLocal.isEmpty()) {
            result.faults.append(
                FileFault{entry.sPath, QString(), entry.sHash, FileFault::Refused});
            continue;
        }
        const QFileInfo info(entry.sLocal);
        if (!info.isFile()) {
            result.faults.append(
                FileFault{entry.sPath, entry.sLocal, entry.sHash, FileFault::Missing});
            continue;
        }
        if (entry.nSize >= 0 && info.size() != entry.nSize) {
            result.faults.append(
                FileFault{entry.sPath, entry.sLocal, entry.sHash, FileFault::SizeDiffers});
            continue;
        }
        // Without a listed digest only presence and size can be checked.
        if (entry.sHash.isEmpty())
            continue;
        toDigest.append(i);
        digestBytes.append(info.size());
        nTotal += quint64(info.size());
    }

    std::mutex progressMutex;
    quint64 nDone = 0;
    if (onProgress)
        onProgress(0, nTotal);
    QVector<QString> digests(toDigest.size());
    QString *pDigests = digests.data(); // detached once, before the threads share it
    ForEachOnThreads(toDigest.size(), DigestThreadCount(), [&](int i) {
        if (IsCancelled())
            return false;
        pDigests[i] = FileMd5(entries.at(toDigest.at(i)).sLocal, [this] { return IsCancelled(); });
        if (!onProgress)
            return true;
        std::lock_guard<std::mutex> lock(progressMutex);
        nDone += quint64(digestBytes.at(i));
        onProgress(nDone, nTotal);
        return true;
    });
    if (IsCancelled())
        return result; // state Cancelled

    for (int i = 0; i < toDigest.size(); ++i) {
        const Entry &entry = entries.at(toDigest.at(i));
        // An unreadable file has the empty digest: damaged as well.
        if (digests.at(i).compare(entry.sHash, Qt::CaseInsensitive) != 0)
            result.faults.append(
                FileFault{entry.sPath, entry.sLocal, entry.sHash, FileFault::DigestDiffers});
    }
    std::sort(result.faults.begin(), result.faults.end(),
              [](const FileFault &a, const FileFault &b) { return a.sPath < b.sPath; });
    result.state =
        result.faults.isEmpty() ? PackageCheckResult::Intact : PackageCheckResult::Damaged;
    return result;
}
