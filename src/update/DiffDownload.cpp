#include "update/DiffDownload.h"

#include "base/FileUtils.h"
#include "device/DeviceDisks.h"
#include "net/HttpPost.h"
#include "net/ProxyInfo.h"
#include "platform/DiskVolume.h"
#include "platform/FileInUse.h"
#include "platform/FileNames.h"
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
#include <filesystem>
#include <memory>
#include <system_error>

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
    std::error_code error;
    std::filesystem::rename(NativeFilePath(sSource), NativeFilePath(sTarget), error);
    if (error)
        qDebug() << "cannot replace" << sTarget << QString::fromStdString(error.message());
    return !error;
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
        QMutexLocker lock(&mutex);
        names.insert(Key(sPath));
    }
    void Remove(const QString &sPath)
    {
        QMutexLocker lock(&mutex);
        names.remove(Key(sPath));
    }
    bool Contains(const QString &sPath)
    {
        QMutexLocker lock(&mutex);
        return names.contains(Key(sPath));
    }

private:
    // Case-folded: a disk that ignores case may list the name otherwise spelt.
    static QString Key(const QString &sPath) { return FileNameOf(sPath).toCaseFolded(); }
    QMutex mutex;
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
    QFile file;                         // the temporary file, created by this transfer
    StreamMd5 hash;                     // digested beside the transfer
    bool bOpenFailed = false;           // its file could not be made
    bool bWriteFailed = false;
    bool bTooLarge = false; // more than the manifest's size arrived
    bool bTooSlow = false;  // less than the least amount arrived in the time allowed
    qint64 nWritten = 0;
    qint64 nMaxBytes = 0; // 0: no limit known
    QByteArray baUrl;
    QString sLocal;
    QString sExpectedHash;
    CURLcode nResult = CURLE_OK;
    long nStatus = 0;
    // The file's least rate: nWindowBytes must arrive within every nWindowMs.
    qint64 nWindowStartMs = -1;
    curl_off_t nWindowStartBytes = 0;
};

// The handles a package's files share, the file still to be finished, and
// what the run knows of the disk.
struct DiffDownload::PackageTransfer {
    std::unique_ptr<CURL, CurlDeleter> pEasy = NewTransferHandle();
    std::unique_ptr<CURLM, MultiDeleter> pMulti{curl_multi_init()};
    std::unique_ptr<Transfer> pPending;
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
    FinishPending(package);
}

DiffDownload::FileList DiffDownload::BuildFileList()
{
    const PackageManifest manifest(joPackage);
    const QString sRoot = manifest.Root();
    const QString sLang = manifest.Lang();
    bool bFolderOk = false;
    manifest.FolderComponents(sLang, &bFolderOk);
    if (!bFolderOk)
        qDebug() << "package folder refused:" << manifest.Dir();
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

        QString sLocal;
        bool bFolderExists = false;
        if (bFolderOk)
            sLocal = PathInside(sSavePath, sRelative, &canonicalFolders, &bFolderExists);
        if (sLocal.isEmpty()) {
            qDebug() << "file path refused:" << entry.sPath << "package folder" << manifest.Dir();
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
    RemoveLeftovers(existingFolders);
    const QStringList slDigests = FileMd5List(slToHash);

    FileList files;
    quint64 nBytes = 0;
    for (int i = 0; i < candidates.size(); ++i) {
        const Candidate &candidate = candidates.at(i);
        if (candidate.sLocal.isEmpty()) {
            files.insert(candidate.sUrl, FileTarget{QString(), candidate.entry.sHash, 0});
            continue;
        }
        // "main.bin" is always fetched, and what is not there; other files
        // when their digest differs.
        const bool bFetch =
            digestOf.at(i) < 0 ||
            slDigests.at(digestOf.at(i)).compare(candidate.entry.sHash, Qt::CaseInsensitive) != 0;
        if (!bFetch)
            continue;
        nBytes += quint64(candidate.entry.nSize);
        files.insert(candidate.sUrl,
                     FileTarget{candidate.sLocal, candidate.entry.sHash, candidate.entry.nSize});
    }

    QMutexLocker lock(&mutex);
    nTotal = nBytes;
    nFileCount = files.size();
    return files;
}

void DiffDownload::RemoveLeftovers(const QHash<QString, QSet<QString>> &names) const
{
    // A killed run, or a transfer whose disk went away, may have left
    // half-received copies; they are never used. One that a running transfer
    // holds (another package may share the file) is left alone.
    const QStringList slFilter{QLatin1String("*") + QLatin1String(TemporarySuffix)};
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        // Links too, dangling ones included (QDir::System): they are removed, not followed.
        const QDir folder(it.key());
        const QStringList slFound =
            folder.entryList(slFilter, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &sName : slFound) {
            if (IsTemporaryOf(sName, it.value()) && !OwnTemporaries::Instance().Contains(sName))
                RemoveFileIfUnused(folder.filePath(sName).toStdString());
        }
    }
}

std::unique_ptr<CURL, DiffDownload::CurlDeleter> DiffDownload::NewTransferHandle()
{
    std::unique_ptr<CURL, CurlDeleter> pHandle(curl_easy_init());
    CURL *pCurl = pHandle.get();
    if (!pCurl)
        return pHandle;
    // Made once and never changed: every handle may point at it.
    static const std::unique_ptr<curl_slist, SlistDeleter> pHeaders(
        curl_slist_append(nullptr, "User-Agent: KX"));
    AttachSharedCookies(pCurl);
    AllowOnlyHttp(pCurl);
    curl_easy_setopt(pCurl, CURLOPT_HTTPHEADER, pHeaders.get());
    curl_easy_setopt(pCurl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 0L);
    // Large chunks: fewer write calls and hand-overs to the digest per file.
    curl_easy_setopt(pCurl, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &DiffDownload::WriteChunk);
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
        const QString sTemporary = sLocal + QLatin1Char('.') +
                                   QString::number(QRandomGenerator::global()->generate(), 36) +
                                   QLatin1String(TemporarySuffix);
        // Known as ours before it exists: no clean-up ever sees it unguarded.
        transfer.pOwn = std::make_unique<OwnTemporary>(sTemporary);
        transfer.file.setFileName(sTemporary);
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
                                const ProxyInfo *pProxy, PackageTransfer &package)
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
    transfer.baUrl = EncodedUrl(sEscaped);
    transfer.sLocal = sLocal;
    transfer.sExpectedHash = target.sHash;
    transfer.nMaxBytes = qMax<qint64>(0, target.nSize);
    qDebug("%s", transfer.baUrl.constData());

    // Only what differs between files is set here; the rest stays on the handle.
    curl_easy_setopt(pCurl, CURLOPT_URL, transfer.baUrl.constData());
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, &transfer);
    ApplyProxy(pCurl, pProxy);

    transfer.nResult = Perform(package, transfer);
    curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &transfer.nStatus);
    // Finished while the next file's request is on its way.
    package.pPending = std::move(pTransfer);
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

    bool bSuccess = transfer.nResult == CURLE_OK && transfer.nStatus == 200 &&
                    !transfer.bWriteFailed && transfer.file.error() == QFileDevice::NoError;
    bool bDigestChecked = false;
    if (!bSuccess) {
        qDebug() << "download failed:" << transfer.baUrl << "curl" << int(transfer.nResult)
                 << "http" << transfer.nStatus << (transfer.bWriteFailed ? "write failed" : "")
                 << (transfer.bTooLarge ? "larger than its size" : "")
                 << (transfer.bTooSlow ? "too slow" : "");
    } else if (!transfer.sExpectedHash.isEmpty()) {
        const QString sReceived = QString::fromLatin1(transfer.hash.Result().toHex());
        if (sReceived.compare(transfer.sExpectedHash, Qt::CaseInsensitive) != 0) {
            qDebug() << "digest mismatch:" << transfer.baUrl << sReceived << "expected"
                     << transfer.sExpectedHash;
            bSuccess = false;
            bDigestChecked = true;
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
    const QString sTemporary = transfer.file.fileName();
    if (bSuccess)
        bSuccess = ReplaceFile(sTemporary, transfer.sLocal);
    // Judged before the temporary file goes: it holds the room a full disk lacked.
    const Failure failure =
        bSuccess ? Failure::Cancelled : FailureOf(package, transfer, bDigestChecked);
    if (!bSuccess)
        QFile::remove(sTemporary);
    CountFile(bSuccess, transfer.sLocal, failure);
}

DiffDownload::Failure DiffDownload::FailureOf(PackageTransfer &package, const Transfer &transfer,
                                              bool bDigestChecked)
{
    if (IsCancelled())
        return Failure::Cancelled;
    if (TransferStopFlag.load() != 0 || package.bDiskGone || !DiskStillThere(package))
        return Failure::DiskGone;
    if (transfer.bOpenFailed || transfer.bWriteFailed) {
        // A write that failed with the disk (nearly) full failed for want of room.
        const quint64 nLeft = transfer.nMaxBytes > transfer.nWritten
                                  ? quint64(transfer.nMaxBytes - transfer.nWritten)
                                  : 0;
        return DiskAvailableBytes(sSavePath) < qMax<quint64>(nLeft, 64 * 1024) ? Failure::DiskFull
                                                                               : Failure::DiskWrite;
    }
    // An error page is no file, whatever its size.
    if (transfer.nStatus != 0 && transfer.nStatus != 200)
        return Failure::ServerError;
    if (transfer.bTooLarge || bDigestChecked)
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

void DiffDownload::AddReceived(quint64 nBytes)
{
    QMutexLocker lock(&mutex);
    nReceived += nBytes;
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
    if (!pTransfer->pSelf->OpenTransferFile(*pTransfer))
        return 0;
    if (pTransfer->nMaxBytes > 0 && pTransfer->nWritten + qint64(nBytes) > pTransfer->nMaxBytes) {
        // Larger than the manifest says: cut off here, not at the disk's end.
        pTransfer->bTooLarge = true;
        return 0;
    }
    if (pTransfer->file.write(pData, qint64(nBytes)) != qint64(nBytes)) {
        // A short write (disk full, disk gone) must fail the file, not pass silently.
        pTransfer->bWriteFailed = true;
        return 0;
    }
    pTransfer->nWritten += qint64(nBytes);
    pTransfer->hash.AddData(pData, qint64(nBytes));
    pTransfer->pSelf->AddReceived(nBytes);
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
