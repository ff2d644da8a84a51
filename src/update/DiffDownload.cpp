#include "update/DiffDownload.h"

#include "base/FileUtils.h"
#include "device/DeviceDisks.h"
#include "net/HttpPost.h"
#include "net/ProxyInfo.h"
#include "platform/DiskVolume.h"
#include "platform/ExistingFile.h"
#include "platform/FileInUse.h"
#include "platform/FileReplace.h"
#include "update/KeptPart.h"
#include "update/PackageManifest.h"
#include "update/PackageNames.h"
#include "update/SafePath.h"
#include "update/StreamMd5.h"
#include "update/TransferStopFlag.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QVector>
#include <chrono>
#include <memory>
#include <mutex>

const char *const DiffDownload::TemporarySuffix = ".uapart";

namespace
{

struct SlistDeleter {
    void operator()(curl_slist *pList) const { curl_slist_free_all(pList); }
};
struct MultiDeleter {
    void operator()(CURLM *pMulti) const { curl_multi_cleanup(pMulti); }
};

// Replaces sTarget by sSource in one step (rename over an existing file).
bool ReplaceFile(const QString &sSource, const QString &sTarget)
{
    QString sError;
    if (ReplaceFileInOneStep(sSource, sTarget, &sError))
        return true;
    qDebug() << "cannot replace" << sTarget << sError;
    return false;
}

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The target's file name in the name of a temporary file: "<target>.uapart"
// (older versions) or "<target>.<random>.uapart".
bool IsTemporaryOf(const QString &sName, const QSet<QString> &targets)
{
    const QString sBase = sName.left(sName.size() - int(qstrlen(DiffDownload::TemporarySuffix)));
    if (targets.contains(sBase))
        return true;
    const int nDot = sBase.lastIndexOf(QLatin1Char('.'));
    return nDot > 0 && targets.contains(sBase.left(nDot));
}

QString FileNameOf(const QString &sPath)
{
    return sPath.mid(sPath.lastIndexOf(QLatin1Char('/')) + 1);
}

// A name for a file being received that no other transfer uses.
QString TemporaryName(const QString &sLocal)
{
    return sLocal + QLatin1Char('.') + QString::number(QRandomGenerator::global()->generate(), 36) +
           QLatin1String(DiffDownload::TemporarySuffix);
}

// The request headers of every transfer. Made once and never changed: every
// handle may point at them.
curl_slist *SharedRequestHeaders()
{
    static const std::unique_ptr<curl_slist, SlistDeleter> pHeaders(
        curl_slist_append(nullptr, "User-Agent: KX"));
    return pHeaders.get();
}

// Whether a Content-Range ("bytes FIRST-LAST/SIZE") names the rest of a file
// from nFrom on; *pSize is the whole file's length it gives.
bool ContinuesAt(const QByteArray &baContentRange, qint64 nFrom, qint64 *pSize)
{
    const QByteArray baRange = baContentRange.trimmed();
    if (!baRange.toLower().startsWith("bytes "))
        return false;
    const QByteArray baSpec = baRange.mid(6).trimmed();
    const int nDash = baSpec.indexOf('-');
    const int nSlash = baSpec.indexOf('/');
    if (nDash <= 0 || nSlash <= nDash)
        return false;
    bool bFirst = false;
    bool bLast = false;
    bool bSize = false;
    const qint64 nFirst = baSpec.left(nDash).toLongLong(&bFirst);
    const qint64 nLast = baSpec.mid(nDash + 1, nSlash - nDash - 1).toLongLong(&bLast);
    const qint64 nTotal = baSpec.mid(nSlash + 1).toLongLong(&bSize);
    *pSize = nTotal;
    return bFirst && bLast && bSize && nFirst == nFrom && nTotal > nFrom && nLast == nTotal - 1;
}

// The value of a header line "Name: value" when its name is sName (any case).
bool HeaderValue(const QByteArray &baLine, const char *pName, QByteArray *pValue)
{
    const int nColon = baLine.indexOf(':');
    if (nColon <= 0 || baLine.left(nColon).trimmed().toLower() != pName)
        return false;
    *pValue = baLine.mid(nColon + 1).trimmed();
    return true;
}

// The temporary files this program has made and not yet renamed or removed,
// by file name (unique by its random part). Packages of one batch may share a
// file: one package's clean-up must not take another's copy in the moment
// between its close and its rename, when no open handle guards it.
class OwnTemporaries
{
public:
    static OwnTemporaries &Instance()
    {
        static OwnTemporaries registry;
        return registry;
    }
    void Add(const QString &sPath)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        names.insert(Key(sPath));
    }
    void Remove(const QString &sPath)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        names.remove(Key(sPath));
    }
    bool Contains(const QString &sPath)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return names.contains(Key(sPath));
    }

private:
    // Case-folded: a disk that ignores case may list the name otherwise spelt.
    static QString Key(const QString &sPath) { return FileNameOf(sPath).toCaseFolded(); }
    std::mutex mutex; // a standard one: thread checkers see it
    QSet<QString> names;
};

// Registered from its creation until its rename or removal is over.
class OwnTemporary
{
public:
    explicit OwnTemporary(const QString &sPath) : sName(sPath)
    {
        OwnTemporaries::Instance().Add(sName);
    }
    ~OwnTemporary() { OwnTemporaries::Instance().Remove(sName); }
    OwnTemporary(const OwnTemporary &) = delete;
    OwnTemporary &operator=(const OwnTemporary &) = delete;

private:
    QString sName;
};

} // namespace

// One file on its way: what the libcurl callbacks work on, and what its
// finishing (digest check, rename into place) needs afterwards.
struct DiffDownload::Transfer {
    Transfer(DiffDownload *pOwner, PackageTransfer *pPackageTransfer)
        : pSelf(pOwner), pPackage(pPackageTransfer)
    {
    }
    DiffDownload *pSelf;
    PackageTransfer *pPackage;
    std::unique_ptr<OwnTemporary> pOwn; // outlives the file's handle
    QFile file; // the temporary file, created (or taken over) by this transfer
    // Its name: a file opened from a descriptor does not know it.
    QString sTemporary;
    std::unique_ptr<StreamMd5> pHash =
        std::make_unique<StreamMd5>(); // digested beside the transfer
    bool bOpenFailed = false;          // its file could not be made
    bool bWriteFailed = false;
    bool bPastReserve = false; // past its size, it would have eaten into the disk's reserve
    bool bTooSlow = false;     // less than the least amount arrived in the time allowed
    qint64 nWritten = 0;       // bytes in the file
    qint64 nCounted = 0;       // bytes counted towards the progress
    // Bytes in the file up to which the disk's free space need not be looked
    // at: the file's size, then half of what the disk had above its reserve.
    qint64 nNextRoomCheck = 0;
    QString sUrl;
    QByteArray baUrl;
    FileTarget target;
    QString sLocal;
    QString sExpectedHash;
    CURLcode nResult = CURLE_OK;
    long nStatus = 0;
    // The file's least rate: nWindowBytes must arrive within every nWindowMs.
    qint64 nWindowStartMs = -1;
    curl_off_t nWindowStartBytes = 0;

    // Resuming (large files only).
    bool bResumable = false;    // may be resumed and kept
    qint64 nResumeFrom = 0;     // the request asks for the bytes from here (0: the whole file)
    bool bFromKeptPart = false; // the file began as a part an earlier run kept
    bool bSpliced = false;      // its content came from more than one answer
    int nResumes = 0;           // resumed in this run
    bool bAnswerChecked = false;
    bool bAnswerRefused = false; // neither the whole file nor the rest asked for
    bool bRangeRefused = false;  // a part that does not continue the kept bytes
    // The validators and the whole length (0: not told) of the version the bytes are from.
    KeptPart::Record kept;
    // Of the current answer.
    QByteArray baETag;
    QByteArray baLastModified;
    QByteArray baContentRange;
    // The request headers when they carry If-Range, and the Range asked for.
    std::unique_ptr<curl_slist, SlistDeleter> pHeaders;
    QByteArray baRange;
};

// The handles a package's files share, the file still to be finished, and
// what the run knows of the disk.
struct DiffDownload::PackageTransfer {
    std::unique_ptr<CURL, CurlDeleter> pEasy = NewTransferHandle();
    std::unique_ptr<CURLM, MultiDeleter> pMulti{curl_multi_init()};
    std::unique_ptr<Transfer> pPending;
    // Joined files whose digest was wrong: fetched once more, whole.
    QList<QPair<QString, FileTarget>> redo;
    qint64 nWindowMs = 0;
    qint64 nWindowBytes = 0;
    std::string sDiskRoot; // the save path, as the platform functions take it
    std::uint64_t nVolumeId = 0;
    bool bDiskGone = false;
    qint64 nLastDiskCheckMs = 0;
};

DiffDownload::DiffDownload(QObject *parent) : QObject(parent) {}

DiffDownload::~DiffDownload()
{
    bStop = true;
    QMutexLocker lock(&mutex);
    if (bFinished)
        return;
    bFinished = true;
    const int nOk = nSuccess, nFailed = nErr;
    const bool bInstall = bNeedInstall;
    lock.unlock();
    emit DownloadFinish(nOk, nFailed, bInstall);
}

void DiffDownload::SetSavePath(const QString &sPath)
{
    sSavePath = sPath;
}

void DiffDownload::SetPackageJson(const QJsonObject &joNewPackage)
{
    joPackage = joNewPackage;
}

void DiffDownload::Stop()
{
    bStop = true;
}

void DiffDownload::StartDownload()
{
    {
        QMutexLocker lock(&mutex);
        nReceived = 0;
        nTotal = 0;
        nSuccess = 0;
        nErr = 0;
        nLastPercent = -1;
        nLastReported = 0;
        failures.clear();
    }
    // The volume the run begins on; every file must go to that one.
    const std::string sDiskRoot = sSavePath.toStdString();
    std::uint64_t nVolumeId = 0;
    const bool bVolumeKnown = VolumeIdOf(sDiskRoot, &nVolumeId);
    const FileList files = BuildFileList();
    if (files.isEmpty()) {
        QMutexLocker lock(&mutex);
        if (bFinished)
            return;
        bFinished = true;
        lock.unlock();
        emit DownloadFinish(-1, 0, false);
        return;
    }
    // One set of handles for the whole package, on this thread only: its files
    // reuse one connection without sharing a connection cache between threads.
    PackageTransfer package;
    package.sDiskRoot = sDiskRoot;
    package.nVolumeId = nVolumeId;
    package.bDiskGone = !bVolumeKnown;
    package.nLastDiskCheckMs = NowMs();
    const TransferTimeouts timeouts = CurrentTransferTimeouts();
    package.nWindowMs = qint64(timeouts.nFileWindowSeconds) * 1000;
    package.nWindowBytes = timeouts.nFileWindowBytes;
    if (package.bDiskGone)
        qDebug() << "device disk not reachable:" << sSavePath;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const std::shared_ptr<const ProxyInfo> pProxy = ActiveProxy();
        DownloadFile(it.key(), it.value(), pProxy.get(), package);
    }
    // A joined file whose digest was wrong comes once more, whole (found as
    // the files before it are finished).
    for (;;) {
        if (package.redo.isEmpty())
            FinishPending(package);
        if (package.redo.isEmpty())
            break;
        const QPair<QString, FileTarget> file = package.redo.takeFirst();
        const std::shared_ptr<const ProxyInfo> pProxy = ActiveProxy();
        DownloadFile(file.first, file.second, pProxy.get(), package, true);
    }
}

DiffDownload::FileList DiffDownload::BuildFileList()
{
    const PackageManifest manifest(joPackage);
    const QString sRoot = manifest.Root();
    const QString sLang = manifest.Lang();
    const bool bFoldCase = NamesIgnoreCase(sSavePath.toStdString());

    // First the entries and their places on the disk (one entry per place),
    // then the digests of the copies there (all at once, on several cores),
    // then the decision.
    struct Candidate {
        QString sUrl;
        QString sLocal; // empty: refused
        FileEntry entry;
        bool bFolderExists = false;
    };
    QList<Candidate> candidates;
    QHash<QString, int> targets;              // place on the disk -> index in candidates
    QHash<QString, QString> canonicalFolders; // the disk's folders, looked up once
    const QList<FileEntry> entries = manifest.Files();
    for (const FileEntry &entry : entries) {
        const QString sRelative = PackageManifest::WithoutLanguagePrefix(entry.sPath, sLang);
        const QString sUrl = sRoot + entry.sPath;
        if (sRelative.endsWith(QLatin1String("config.json"), Qt::CaseInsensitive))
            continue;

        // Each file goes where its own path says; "dir" places only the installed manifest.
        bool bFolderExists = false;
        const QString sLocal = PathInside(sSavePath, sRelative, &canonicalFolders, &bFolderExists);
        if (sLocal.isEmpty()) {
            qDebug() << "file path refused:" << entry.sPath;
            candidates.append(Candidate{sUrl, QString(), entry, false});
            continue;
        }
        // Two spellings of one place ("a//b" and "a/b", or "b" and "B" where
        // the disk ignores case): the later entry decides, the file is fetched once.
        const QString sKey = bFoldCase ? sLocal.toCaseFolded() : sLocal;
        const auto it = targets.constFind(sKey);
        if (it != targets.constEnd()) {
            qDebug() << "one file listed twice:" << candidates.at(it.value()).entry.sPath
                     << entry.sPath;
            candidates[it.value()] = Candidate{sUrl, sLocal, entry, bFolderExists};
            continue;
        }
        targets.insert(sKey, candidates.size());
        candidates.append(Candidate{sUrl, sLocal, entry, bFolderExists});
    }

    // In a folder not there yet, there is nothing to clean up or compare.
    QHash<QString, QSet<QString>> existingFolders; // folder -> the targets' names in it
    QStringList slToHash;
    QVector<int> digestOf(candidates.size(), -1); // index into the digests, -1 when none is needed
    for (int i = 0; i < candidates.size(); ++i) {
        const Candidate &candidate = candidates.at(i);
        if (candidate.sLocal.isEmpty() || !candidate.bFolderExists)
            continue;
        const int nSlash = candidate.sLocal.lastIndexOf(QLatin1Char('/'));
        existingFolders[candidate.sLocal.left(nSlash)].insert(candidate.sLocal.mid(nSlash + 1));
        if (!IsAlwaysFetched(candidate.sLocal)) {
            digestOf[i] = slToHash.size();
            slToHash.append(candidate.sLocal);
        }
    }
    const QSet<QString> keptParts = RemoveLeftovers(existingFolders);
    // Digests of large copies take long: a stop does not wait for them (the
    // files then count as to be fetched, and their transfers end at once).
    const QStringList slDigests = FileMd5List(slToHash, [this] {
        return bStop.load() || TransferStopFlag.load() != 0 || IsCancelled();
    });

    FileList files;
    quint64 nBytes = 0;
    for (int i = 0; i < candidates.size(); ++i) {
        const Candidate &candidate = candidates.at(i);
        if (candidate.sLocal.isEmpty()) {
            files.insert(candidate.sUrl, FileTarget{QString(), candidate.entry.sHash, 0, false});
            continue;
        }
        // "main.bin" is always fetched; other files when their digest
        // differs. A file in a folder that is not there has the empty digest.
        const bool bAlways = IsAlwaysFetched(candidate.sLocal);
        const QString sDigest = digestOf.at(i) < 0 ? QString() : slDigests.at(digestOf.at(i));
        if (!bAlways && sDigest.compare(candidate.entry.sHash, Qt::CaseInsensitive) == 0)
            continue;
        nBytes += quint64(candidate.entry.nSize);
        files.insert(candidate.sUrl,
                     FileTarget{candidate.sLocal, candidate.entry.sHash, candidate.entry.nSize,
                                keptParts.contains(candidate.sLocal)});
    }

    // A kept part of a file that is not fetched now is of no use any more.
    if (!keptParts.isEmpty()) {
        QSet<QString> fetched;
        for (const FileTarget &target : qAsConst(files))
            fetched.insert(target.sLocalPath);
        for (const QString &sTarget : keptParts) {
            if (!fetched.contains(sTarget))
                KeptPart::Remove(sTarget);
        }
    }

    QMutexLocker lock(&mutex);
    nTotal = nBytes;
    nFileCount = files.size();
    return files;
}

QSet<QString> DiffDownload::RemoveLeftovers(const QHash<QString, QSet<QString>> &names) const
{
    // A killed run, or a transfer whose disk went away, may have left
    // half-received copies; they are never used. One that a running transfer
    // holds (another package may share the file) is left alone. Kept parts
    // stay for their files' turn, unless they are too old.
    QSet<QString> keptParts;
    const QStringList slFilter{QLatin1String("*") + QLatin1String(TemporarySuffix)};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        // Links too, dangling ones included (QDir::System): they are removed, not followed.
        const QDir folder(it.key());
        const QStringList slFound =
            folder.entryList(slFilter, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &sName : slFound) {
            const QString sKeptOf = KeptPart::TargetNameOf(sName);
            if (sKeptOf.isEmpty()) {
                if (IsTemporaryOf(sName, it.value()) && !OwnTemporaries::Instance().Contains(sName))
                    RemoveFileIfUnused(folder.filePath(sName).toStdString());
                continue;
            }
            if (!KeptPart::RemoveIfExpired(QFileInfo(folder.filePath(sName)), now) &&
                it.value().contains(sKeptOf))
                keptParts.insert(it.key() + QLatin1Char('/') + sKeptOf);
        }
    }
    return keptParts;
}

std::unique_ptr<CURL, DiffDownload::CurlDeleter> DiffDownload::NewTransferHandle()
{
    std::unique_ptr<CURL, CurlDeleter> pHandle(curl_easy_init());
    CURL *pCurl = pHandle.get();
    if (!pCurl)
        return pHandle;
    AttachSharedCookies(pCurl);
    AllowOnlyHttp(pCurl);
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, SharedRequestHeaders());
    curl_easy_setopt(pCurl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 0L);
    // Large chunks: fewer write calls and hand-overs to the digest per file.
    curl_easy_setopt(pCurl, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &DiffDownload::WriteChunk);
    curl_easy_setopt(pCurl, CURLOPT_HEADERFUNCTION, &DiffDownload::ReadHeader);
    curl_easy_setopt(pCurl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFOFUNCTION, &DiffDownload::CheckAbort);
    ApplyTransferTimeouts(pCurl); // includes the low-speed abort (1 byte/s for 60 s)
    return pHandle;
}

bool DiffDownload::DiskStillThere(PackageTransfer &package) const
{
    if (package.bDiskGone)
        return false;
    std::uint64_t nVolumeId = 0;
    package.nLastDiskCheckMs = NowMs();
    if (VolumeIdOf(package.sDiskRoot, &nVolumeId) && nVolumeId == package.nVolumeId)
        return true;
    qDebug() << "device disk gone:" << sSavePath;
    package.bDiskGone = true;
    return false;
}

bool DiffDownload::RoomToGoOn(Transfer &transfer, qint64 nBytes) const
{
    // Looked at again once half of what the disk had above its reserve is
    // written: a few looks per file, however large it grows.
    const quint64 nFree = DiskAvailableBytes(sSavePath);
    const quint64 nNeed = DiskReserveBytes + quint64(nBytes);
    if (nFree < nNeed) {
        qDebug() << "the disk's reserve reached:" << transfer.sLocal << nFree << "bytes free";
        return false;
    }
    transfer.nNextRoomCheck =
        transfer.nWritten + nBytes + qint64(qMax<quint64>((nFree - nNeed) / 2, 64 * 1024));
    return true;
}

bool DiffDownload::MakeFoldersBelowDisk(const QString &sFolder) const
{
    // One level at a time from the disk root, which must exist: a disk that
    // went away leaves nothing to build on, so nothing lands on the computer's
    // own disk in its place.
    QDir dir(sSavePath + QLatin1Char('/'));
    if (!dir.exists())
        return false;
    const QStringList slParts =
        sFolder.mid(sSavePath.size() + 1).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &sPart : slParts) {
        // Packages of one batch run side by side: another may make the same
        // folder between the look and the mkdir, which is as good as ours.
        if (!dir.exists(sPart) && !dir.mkdir(sPart) && !dir.exists(sPart))
            return false;
        if (!dir.cd(sPart))
            return false;
    }
    return true;
}

bool DiffDownload::OpenTemporary(Transfer &transfer, const QString &sLocal)
{
    // Created exclusively under a name of its own: nothing at that name (not
    // even a link) is written through, and no other transfer of the same file
    // shares it. Open, it is in use: no clean-up of leftovers removes it.
    // Unbuffered: libcurl's pieces go straight to the file, not through a copy
    // in QFile's buffer; a failed write shows at once.
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
    for (int nTry = 0; nTry < 3; ++nTry) {
        const QString sTemporary = TemporaryName(sLocal);
        // Known as ours before it exists: no clean-up ever sees it unguarded.
        transfer.pOwn = std::make_unique<OwnTemporary>(sTemporary);
        transfer.file.setFileName(sTemporary);
        transfer.sTemporary = sTemporary;
        if (transfer.file.open(mode))
            return true;
        transfer.pOwn.reset();
        // Most files go into folders that exist; only a failure pays for the look-ups.
        if (nTry == 0 && !MakeFoldersBelowDisk(sLocal.left(sLocal.lastIndexOf(QLatin1Char('/')))))
            return false;
    }
    return false;
}

bool DiffDownload::OpenTransferFile(Transfer &transfer)
{
    if (transfer.file.isOpen())
        return true;
    if (transfer.bOpenFailed)
        return false;
    // Before anything is written: the disk must still be the one the run
    // began on, and the file is made on it.
    if (!DiskStillThere(*transfer.pPackage) || !OpenTemporary(transfer, transfer.sLocal)) {
        qDebug() << "cannot write" << transfer.sLocal << transfer.file.errorString();
        transfer.bOpenFailed = true;
        return false;
    }
    return true;
}

void DiffDownload::DownloadFile(const QString &sUrl, const FileTarget &target,
                                const ProxyInfo *pProxy, PackageTransfer &package, bool bFresh)
{
    const QString &sLocal = target.sLocalPath;
    // A disk found gone stays gone: nothing more is asked of the server.
    CURL *pCurl = package.pEasy.get();
    if (sLocal.isEmpty()) {
        CountFile(false, sLocal, Failure::Refused);
        return;
    }
    // Nothing more is asked for once the user has stopped the download.
    if (IsCancelled()) {
        CountFile(false, sLocal, Failure::Cancelled);
        return;
    }
    if (package.bDiskGone) {
        CountFile(false, sLocal, Failure::DiskGone);
        return;
    }
    if (!pCurl || !package.pMulti) {
        CountFile(false, sLocal, Failure::Network);
        return;
    }
    auto pTransfer = std::make_unique<Transfer>(this, &package);
    Transfer &transfer = *pTransfer;

    QString sEscaped = sUrl;
    sEscaped.replace(QLatin1Char(' '), QLatin1String("%20"));
    transfer.sUrl = sUrl;
    transfer.baUrl = EncodedUrl(sEscaped);
    transfer.target = target;
    transfer.sLocal = sLocal;
    transfer.sExpectedHash = target.sHash;
    transfer.nNextRoomCheck = qMax<qint64>(0, target.nSize);
    // Any file with a digest to check the joined whole; what it brought decides
    // whether a part is worth keeping (KeptPart::MinBytes).
    transfer.bResumable = !bFresh && KeptPart::IsResumable(target.sHash);
    qDebug("%s", transfer.baUrl.constData());
    if (transfer.bResumable && target.bKeptPart)
        ClaimKeptPart(transfer);

    for (;;) {
        // Only what differs between files is set here; the rest stays on the handle.
        curl_easy_setopt(pCurl, CURLOPT_URL, transfer.baUrl.constData());
        curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(pCurl, CURLOPT_HEADERDATA, &transfer);
        ApplyProxy(pCurl, pProxy);
        transfer.baRange.clear();
        transfer.pHeaders.reset();
        if (transfer.nResumeFrom > 0) {
            transfer.baRange = QByteArray::number(transfer.nResumeFrom) + '-';
            // A strong ETag, else the date, names the version the kept bytes
            // are of: a server that has another sends all of it instead.
            QByteArray baIfRange;
            if (!transfer.kept.sETag.isEmpty() &&
                !transfer.kept.sETag.startsWith(QLatin1String("W/")))
                baIfRange = transfer.kept.sETag.toLatin1();
            else
                baIfRange = transfer.kept.sLastModified.toLatin1();
            curl_slist *pList = curl_slist_append(nullptr, "User-Agent: KX");
            if (pList && !baIfRange.isEmpty()) {
                if (curl_slist *pMore =
                        curl_slist_append(pList, ("If-Range: " + baIfRange).constData()))
                    pList = pMore;
            }
            transfer.pHeaders.reset(pList);
        }
        curl_easy_setopt(pCurl, CURLOPT_RANGE,
                         transfer.baRange.isEmpty() ? nullptr : transfer.baRange.constData());
        if (transfer.pHeaders)
            curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, transfer.pHeaders.get());
        transfer.bAnswerChecked = false;
        transfer.bAnswerRefused = false;
        transfer.bRangeRefused = false;
        transfer.bTooSlow = false;
        transfer.nWindowStartMs = -1;
        const qint64 nBefore = transfer.nWritten;

        transfer.nResult = Perform(package, transfer);
        curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &transfer.nStatus);
        if (transfer.pHeaders)
            curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, SharedRequestHeaders());
        // An answer without a body was not judged yet.
        if (transfer.nResult == CURLE_OK && !transfer.bAnswerChecked && !CheckAnswer(transfer))
            transfer.nResult = CURLE_WRITE_ERROR;
        // Cut off before any of this answer's body came: the file holds only
        // what earlier answers (or a verified kept part) brought, judged then.
        if (transfer.nResult != CURLE_OK && !transfer.bAnswerChecked && transfer.nWritten > 0 &&
            transfer.nWritten == nBefore)
            transfer.bAnswerChecked = true;

        if (transfer.nResumeFrom > 0 && (transfer.bRangeRefused || transfer.nStatus == 416)) {
            // What came does not continue the kept bytes: the whole file, afresh.
            qDebug() << "kept part not continued, fetched whole:" << transfer.baUrl << "http"
                     << transfer.nStatus << transfer.baContentRange;
            if (!RestartFile(transfer))
                break;
            continue;
        }
        // Only a file with a digest to check the joined whole is resumed, and
        // not one fetched afresh after a join went wrong: another join could
        // go wrong again, and again.
        if (!transfer.bResumable || !BrokeOff(transfer) || transfer.nResumes >= MaxResumesPerRun ||
            transfer.nWritten <= nBefore || transfer.nWritten < KeptPart::MinBytes || bStop ||
            TransferStopFlag.load() != 0 || package.bDiskGone)
            break;
        // Cut off on the way, with more than before: the rest, at once.
        ++transfer.nResumes;
        transfer.nResumeFrom = transfer.nWritten;
        qDebug() << "resumed at" << transfer.nResumeFrom << "of" << transfer.kept.nSize << ":"
                 << transfer.baUrl << "curl" << int(transfer.nResult);
    }
    // Finished while the next file's request is on its way.
    package.pPending = std::move(pTransfer);
}

void DiffDownload::ClaimKeptPart(Transfer &transfer)
{
    const QString &sLocal = transfer.sLocal;
    const std::optional<KeptPart::Record> record = KeptPart::Read(sLocal);
    if (!record || record->sUrl != transfer.sUrl ||
        record->sMd5.compare(transfer.sExpectedHash, Qt::CaseInsensitive) != 0) {
        // Nothing kept, or kept for another version of the file.
        KeptPart::Remove(sLocal);
        return;
    }
    if (!DiskStillThere(*transfer.pPackage))
        return;
    // Under a name of this transfer's own, nobody else takes it; the record is
    // used up (a new one is written if this transfer breaks off too).
    // Known as ours before the rename: no other package's clean-up takes it
    // before it is open.
    const QString sOwn = TemporaryName(sLocal);
    auto pOwn = std::make_unique<OwnTemporary>(sOwn);
    const bool bTaken = ReplaceFile(KeptPart::DataPath(sLocal), sOwn);
    QFile::remove(KeptPart::RecordPath(sLocal));
    if (!bTaken)
        return;
    const int fd = OpenExistingFile(sOwn.toStdString());
    if (fd < 0 || !transfer.file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                                      QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            CloseExistingFile(fd);
        // A link or anything but a plain file of its own: gone, not followed.
        qDebug() << "kept part refused:" << sOwn;
        RemoveFileIfUnused(sOwn.toStdString());
        return;
    }
    transfer.pOwn = std::move(pOwn);
    transfer.sTemporary = sOwn;
    // The kept bytes go through the digest before the rest arrives; they must
    // be what the record says they are.
    bool bFits = transfer.file.size() == record->nKept;
    QByteArray baChunk;
    for (qint64 nDone = 0; bFits && nDone < record->nKept;) {
        baChunk = transfer.file.read(qMin<qint64>(record->nKept - nDone, 1024 * 1024));
        if (baChunk.isEmpty())
            bFits = false;
        transfer.pHash->AddData(baChunk.constData(), baChunk.size());
        nDone += baChunk.size();
    }
    bFits = bFits && QString::fromLatin1(transfer.pHash->Result().toHex()) == record->sKeptMd5;
    if (!bFits) {
        qDebug() << "kept part does not fit its record, fetched whole:" << sLocal;
        RestartFile(transfer);
        return;
    }
    transfer.nWritten = record->nKept;
    transfer.nResumeFrom = record->nKept;
    transfer.bFromKeptPart = true;
    transfer.kept = *record;
    qDebug() << "resuming at" << record->nKept << "of" << record->nSize << ":" << sLocal;
}

bool DiffDownload::RestartFile(Transfer &transfer)
{
    transfer.pHash = std::make_unique<StreamMd5>();
    transfer.nWritten = 0;
    transfer.nResumeFrom = 0;
    // What it brought so far is counted again as it comes once more.
    if (transfer.nCounted != 0)
        transfer.pSelf->AddReceived(transfer, -transfer.nCounted);
    transfer.bFromKeptPart = false;
    transfer.bSpliced = false;
    transfer.kept = KeptPart::Record();
    if (!transfer.file.isOpen())
        return true;
    if (transfer.file.flush() && transfer.file.resize(0) && transfer.file.seek(0))
        return true;
    transfer.bWriteFailed = true;
    return false;
}

bool DiffDownload::BrokeOff(const Transfer &transfer)
{
    // The answer was the file (or its rest) and the connection let it down;
    // nothing local went wrong.
    if (!transfer.file.isOpen() || !transfer.bAnswerChecked || transfer.bAnswerRefused ||
        transfer.bRangeRefused || transfer.bWriteFailed || transfer.bPastReserve ||
        transfer.bOpenFailed)
        return false;
    switch (transfer.nResult) {
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
        return true;
    case CURLE_ABORTED_BY_CALLBACK:
        return transfer.bTooSlow;
    default:
        return false;
    }
}

bool DiffDownload::CheckAnswer(Transfer &transfer)
{
    transfer.bAnswerChecked = true;
    long nStatus = 0;
    curl_easy_getinfo(transfer.pPackage->pEasy.get(), CURLINFO_RESPONSE_CODE, &nStatus);
    const QString sETag = KeptPart::CleanValidator(transfer.baETag);
    const QString sLastModified = KeptPart::CleanValidator(transfer.baLastModified);
    if (transfer.nResumeFrom > 0 && nStatus == 206) {
        // The rest of the same version, from where the kept bytes end, to the
        // end the server gave before (the manifest's size may be wrong).
        const bool bSameVersion =
            (transfer.kept.sETag.isEmpty() || transfer.kept.sETag == sETag) &&
            (transfer.kept.sLastModified.isEmpty() || transfer.kept.sLastModified == sLastModified);
        qint64 nWhole = 0;
        if (!bSameVersion || !ContinuesAt(transfer.baContentRange, transfer.nResumeFrom, &nWhole) ||
            (transfer.kept.nSize > 0 && nWhole != transfer.kept.nSize)) {
            transfer.bRangeRefused = true;
            return false;
        }
        transfer.kept.nSize = nWhole;
        if (transfer.bFromKeptPart) {
            transfer.bFromKeptPart = false; // counted once
            AddReceived(transfer, transfer.nResumeFrom);
        }
        transfer.bSpliced = true;
    } else if (transfer.nResumeFrom > 0 && nStatus == 200) {
        // The whole file instead of the rest: it replaces the kept bytes.
        qDebug() << "whole file instead of its rest:" << transfer.baUrl;
        if (!RestartFile(transfer))
            return false;
    } else if (nStatus != 200) {
        // An error page (or a part not asked for) never goes into the file.
        transfer.bAnswerRefused = true;
        return false;
    }
    if (transfer.nResumeFrom == 0) {
        // The whole file: its length as the server tells it (none when chunked).
        curl_off_t nLength = -1;
        curl_easy_getinfo(transfer.pPackage->pEasy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T,
                          &nLength);
        transfer.kept.nSize = nLength > 0 ? qint64(nLength) : 0;
    }
    if (transfer.nResumeFrom == 0 || !sETag.isEmpty())
        transfer.kept.sETag = sETag;
    if (transfer.nResumeFrom == 0 || !sLastModified.isEmpty())
        transfer.kept.sLastModified = sLastModified;
    return true;
}

bool DiffDownload::KeepPart(Transfer &transfer)
{
    PackageTransfer &package = *transfer.pPackage;
    // Only a part of a file whose whole length the server told.
    if (!transfer.bResumable || transfer.nWritten < KeptPart::MinBytes ||
        transfer.nWritten >= transfer.kept.nSize || !transfer.file.flush())
        return false;
    KeptPart::Record record = transfer.kept;
    record.sUrl = transfer.sUrl;
    record.sMd5 = transfer.sExpectedHash.toLower();
    record.nKept = transfer.nWritten;
    record.sKeptMd5 = QString::fromLatin1(transfer.pHash->Result().toHex());
    transfer.file.close();
    // Only on the disk the run began on, and only beside a part that got there.
    if (transfer.file.error() != QFileDevice::NoError || !DiskStillThere(package) ||
        !ReplaceFile(transfer.sTemporary, KeptPart::DataPath(transfer.sLocal)))
        return false;
    if (!KeptPart::Write(transfer.sLocal, record)) {
        RemoveFileIfUnused(KeptPart::DataPath(transfer.sLocal).toStdString());
        return false;
    }
    qDebug() << "kept" << record.nKept << "of" << record.nSize
             << "bytes for later:" << transfer.sLocal;
    return true;
}

CURLcode DiffDownload::Perform(PackageTransfer &package, Transfer &transfer)
{
    CURLM *pMulti = package.pMulti.get();
    CURL *pCurl = package.pEasy.get();
    if (curl_multi_add_handle(pMulti, pCurl) != CURLM_OK) {
        FinishPending(package);
        return CURLE_FAILED_INIT;
    }
    int nRunning = 0;
    CURLMcode nMulti = curl_multi_perform(pMulti, &nRunning);
    // The request has gone out: while the server answers, this file's place
    // is made (unless its first bytes came at once and made it), and the
    // previous file is checked and put in place.
    OpenTransferFile(transfer);
    FinishPending(package);
    while (nMulti == CURLM_OK && nRunning > 0) {
        nMulti = curl_multi_poll(pMulti, nullptr, 0, 1000, nullptr);
        if (nMulti == CURLM_OK)
            nMulti = curl_multi_perform(pMulti, &nRunning);
    }
    CURLcode nResult = nMulti == CURLM_OK ? CURLE_RECV_ERROR : CURLE_FAILED_INIT;
    int nLeft = 0;
    while (const CURLMsg *pMessage = curl_multi_info_read(pMulti, &nLeft)) {
        if (pMessage->msg == CURLMSG_DONE && pMessage->easy_handle == pCurl)
            nResult = pMessage->data.result;
    }
    curl_multi_remove_handle(pMulti, pCurl);
    return nResult;
}

void DiffDownload::FinishPending(PackageTransfer &package)
{
    const std::unique_ptr<Transfer> pTransfer = std::move(package.pPending);
    if (!pTransfer)
        return;
    Transfer &transfer = *pTransfer;
    if (!transfer.file.isOpen()) {
        // Its file could not be made: nothing of it is on the disk.
        CountFile(false, transfer.sLocal, FailureOf(package, transfer, false));
        return;
    }
    const bool bFlushed = transfer.file.flush();
    if (!bFlushed)
        transfer.bWriteFailed = true;

    // The whole file, or the rest of one whose beginning was here already.
    const bool bWhole = transfer.nStatus == 200 || (transfer.nStatus == 206 && transfer.bSpliced);
    bool bSuccess = transfer.nResult == CURLE_OK && bWhole && !transfer.bWriteFailed && bFlushed &&
                    transfer.file.error() == QFileDevice::NoError;
    bool bRedo = false;
    bool bDigestChecked = false;
    if (!bSuccess) {
        qDebug() << "download failed:" << transfer.baUrl << "curl" << int(transfer.nResult)
                 << "http" << transfer.nStatus << (transfer.bWriteFailed ? "write failed" : "")
                 << (transfer.bPastReserve ? "past its size into the disk's reserve" : "")
                 << (transfer.bTooSlow ? "too slow" : "");
        // What a large file received stays for the next try, unless the
        // fault was ours, the answer was not the file, or the user stopped it.
        const bool bStopped = transfer.nResult == CURLE_ABORTED_BY_CALLBACK && !transfer.bTooSlow &&
                              !transfer.bOpenFailed;
        if (!IsCancelled() &&
            (BrokeOff(transfer) ||
             (bStopped && transfer.bAnswerChecked && !transfer.bAnswerRefused &&
              !transfer.bRangeRefused && !transfer.bWriteFailed && !transfer.bPastReserve)) &&
            KeepPart(transfer)) {
            CountFile(false, transfer.sLocal, FailureOf(package, transfer, false));
            return;
        }
    } else if (!transfer.sExpectedHash.isEmpty()) {
        const QString sReceived = QString::fromLatin1(transfer.pHash->Result().toHex());
        if (sReceived.compare(transfer.sExpectedHash, Qt::CaseInsensitive) != 0) {
            qDebug() << "digest mismatch:" << transfer.baUrl << sReceived << "expected"
                     << transfer.sExpectedHash << (transfer.bSpliced ? "(joined)" : "");
            bSuccess = false;
            bDigestChecked = true;
            // Joined from parts: one of them was not what it claimed; the
            // whole file comes once more.
            bRedo = transfer.bSpliced;
            if (bRedo)
                AddReceived(transfer, -transfer.nCounted); // counted again as it comes
        }
    }
    // Open (and so in use) until here.
    transfer.file.close();
    if (transfer.file.error() != QFileDevice::NoError)
        transfer.bWriteFailed = true;
    bSuccess = bSuccess && !transfer.bWriteFailed;
    // Only this transfer's own temporary file is renamed or removed. It was
    // made on the disk the run began on: if that went away meanwhile, the
    // name leads nowhere now and the rename fails.
    const QString &sTemporary = transfer.sTemporary;
    if (bSuccess)
        bSuccess = ReplaceFile(sTemporary, transfer.sLocal);
    // Judged before the temporary file goes: it holds the room a full disk lacked.
    const Failure failure =
        bSuccess ? Failure::Cancelled : FailureOf(package, transfer, bDigestChecked);
    if (!bSuccess)
        QFile::remove(sTemporary);
    if (bSuccess && transfer.bResumable)
        KeptPart::Remove(transfer.sLocal); // one another transfer of it may have left
    if (bRedo) {
        package.redo.append(qMakePair(transfer.sUrl, transfer.target));
        return;
    }
    CountFile(bSuccess, transfer.sLocal, failure);
}

DiffDownload::Failure DiffDownload::FailureOf(PackageTransfer &package, const Transfer &transfer,
                                              bool bDigestChecked)
{
    if (IsCancelled())
        return Failure::Cancelled;
    if (TransferStopFlag.load() != 0 || package.bDiskGone || !DiskStillThere(package))
        return Failure::DiskGone;
    if (transfer.bPastReserve)
        return Failure::DiskFull;
    if (transfer.bOpenFailed || transfer.bWriteFailed) {
        // A write that failed with the disk (nearly) full failed for want of room.
        const qint64 nSize = transfer.target.nSize;
        const quint64 nLeft = nSize > transfer.nWritten ? quint64(nSize - transfer.nWritten) : 0;
        return DiskAvailableBytes(sSavePath) < qMax<quint64>(nLeft, 64 * 1024) ? Failure::DiskFull
                                                                               : Failure::DiskWrite;
    }
    // An error page is no file, whatever its size.
    if (transfer.nStatus != 0 && transfer.nStatus != 200 && transfer.nStatus != 206)
        return Failure::ServerError;
    if (bDigestChecked)
        return Failure::DigestMismatch;
    if (transfer.nResult != CURLE_OK)
        return Failure::Network;
    return Failure::DiskWrite; // it arrived whole but could not be put in place
}

bool DiffDownload::IsCancelled() const
{
    return pCancel && pCancel->load();
}

void DiffDownload::SetCancelFlag(std::shared_ptr<const std::atomic<bool>> pFlag)
{
    pCancel = std::move(pFlag);
}

DiffDownload::Failures DiffDownload::FailureReasons() const
{
    QMutexLocker lock(&mutex);
    return failures;
}

bool DiffDownload::CountFile(bool bSuccess, const QString &sLocalPath, Failure failure)
{
    QMutexLocker lock(&mutex);
    if (!bNeedInstall && !sLocalPath.isEmpty())
        bNeedInstall = IsFirmwareImage(sLocalPath);
    if (bSuccess) {
        ++nSuccess;
    } else {
        ++nErr;
        ++failures[failure];
    }
    if (nSuccess + nErr != nFileCount || bFinished)
        return bSuccess;
    bFinished = true;
    const int nOk = nSuccess, nFailed = nErr;
    const bool bInstall = bNeedInstall;
    lock.unlock();
    emit DownloadFinish(nOk, nFailed, bInstall);
    return bSuccess;
}

void DiffDownload::AddReceived(Transfer &transfer, qint64 nBytes)
{
    transfer.nCounted += nBytes;
    QMutexLocker lock(&mutex);
    nReceived =
        nBytes >= 0 ? nReceived + quint64(nBytes) : nReceived - qMin(nReceived, quint64(-nBytes));
    if (nTotal == 0)
        return;
    const int nPercent = int(double(nReceived) / double(nTotal) * 100.0);
    const bool bNewPercent = nPercent != nLastPercent;
    // The same value again tells the window nothing; the bytes tell the speed.
    if (!bNewPercent && nReceived - nLastReported < TransferredStep)
        return;
    nLastPercent = nPercent;
    nLastReported = nReceived;
    const qint64 nNow = qint64(nReceived), nAll = qint64(nTotal);
    lock.unlock();
    if (bNewPercent)
        emit Progress(nPercent);
    emit Transferred(nPercent, nNow, nAll);
}

size_t DiffDownload::WriteChunk(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    auto *pTransfer = static_cast<Transfer *>(pUser);
    const size_t nBytes = nSize * nCount;
    if (!pTransfer->bAnswerChecked && !pTransfer->pSelf->CheckAnswer(*pTransfer))
        return 0;
    if (!pTransfer->pSelf->OpenTransferFile(*pTransfer))
        return 0;
    if (pTransfer->nWritten + qint64(nBytes) > pTransfer->nNextRoomCheck &&
        !pTransfer->pSelf->RoomToGoOn(*pTransfer, qint64(nBytes))) {
        // Past its size, a server that does not stop would fill the disk.
        pTransfer->bPastReserve = true;
        return 0;
    }
    if (pTransfer->file.write(pData, qint64(nBytes)) != qint64(nBytes)) {
        // A short write (disk full, disk gone) must fail the file, not pass silently.
        pTransfer->bWriteFailed = true;
        return 0;
    }
    pTransfer->nWritten += qint64(nBytes);
    pTransfer->pHash->AddData(pData, qint64(nBytes));
    pTransfer->pSelf->AddReceived(*pTransfer, qint64(nBytes));
    return nBytes;
}

size_t DiffDownload::ReadHeader(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    const size_t nBytes = nSize * nCount;
    auto *pTransfer = static_cast<Transfer *>(pUser);
    if (pTransfer == nullptr) // a handle used outside DownloadFile
        return nBytes;
    const QByteArray baLine(pData, int(qMin<size_t>(nBytes, 64 * 1024)));
    if (baLine.startsWith("HTTP/")) {
        // A new answer (after an interim one or a redirect): its own headers only.
        pTransfer->baETag.clear();
        pTransfer->baLastModified.clear();
        pTransfer->baContentRange.clear();
        return nBytes;
    }
    QByteArray baValue;
    if (HeaderValue(baLine, "etag", &baValue))
        pTransfer->baETag = baValue;
    else if (HeaderValue(baLine, "last-modified", &baValue))
        pTransfer->baLastModified = baValue;
    else if (HeaderValue(baLine, "content-range", &baValue))
        pTransfer->baContentRange = baValue;
    return nBytes;
}

int DiffDownload::CheckAbort(void *pUser, curl_off_t, curl_off_t nReceivedNow, curl_off_t,
                             curl_off_t)
{
    auto *pTransfer = static_cast<Transfer *>(pUser);
    if (pTransfer == nullptr) // a handle used outside DownloadFile
        return TransferStopFlag.load() != 0 ? 1 : 0;
    Transfer &transfer = *pTransfer;
    PackageTransfer &package = *transfer.pPackage;
    const qint64 nNow = NowMs();
    if (TransferStopFlag.load() != 0) {
        // A disk went away; if it was this one, the run is over for good,
        // not only while the flag is up.
        transfer.pSelf->DiskStillThere(package);
        return 1;
    }
    if (transfer.pSelf->bStop || transfer.bOpenFailed || transfer.pSelf->IsCancelled())
        return 1;
    if (nNow - package.nLastDiskCheckMs >= 1000 && !transfer.pSelf->DiskStillThere(package))
        return 1;
    // A server that sends a few bytes now and then would hold the file for
    // ever: it must bring nWindowBytes within every nWindowMs.
    if (transfer.nWindowStartMs < 0 ||
        nReceivedNow - transfer.nWindowStartBytes >= package.nWindowBytes) {
        transfer.nWindowStartMs = nNow;
        transfer.nWindowStartBytes = nReceivedNow;
    } else if (package.nWindowMs > 0 && nNow - transfer.nWindowStartMs >= package.nWindowMs) {
        transfer.bTooSlow = true;
        return 1;
    }
    return 0;
}
