#include "update/DiffDownload.h"

#include "app/FileUtils.h"
#include "device/DeviceState.h"
#include "net/HttpPost.h"
#include "net/ProxyInfo.h"
#include "update/PackageManifest.h"
#include "update/SafePath.h"
#include "update/StreamMd5.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
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

std::filesystem::path FsPath(const QString &sPath)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(sPath.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(sPath).toStdString());
#endif
}

// Replaces sTarget by sSource in one step (rename over an existing file).
bool ReplaceFile(const QString &sSource, const QString &sTarget)
{
    std::error_code error;
    std::filesystem::rename(FsPath(sSource), FsPath(sTarget), error);
    if (error)
        qDebug() << "cannot replace" << sTarget << QString::fromStdString(error.message());
    return !error;
}

// Creates the file afresh: whatever sits at its name (even a link) is removed,
// not written through. Its folder is made when missing.
bool OpenNewFile(QFile &file)
{
    // Unbuffered: libcurl's pieces go straight to the file, not through a copy
    // in QFile's buffer; a failed write shows at once.
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;
    if (file.open(mode))
        return true;
    // Most files go into folders that exist and under names that are free;
    // only a failure pays for the look-ups.
    const QString sName = file.fileName();
    QDir().mkpath(sName.left(sName.lastIndexOf(QLatin1Char('/'))));
    QFile::remove(sName);
    return file.open(mode);
}

QString FileNameOf(const QString &sPath)
{
    return sPath.mid(sPath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

// One file on its way: what the libcurl callbacks work on, and what its
// finishing (digest check, rename into place) needs afterwards.
struct DiffDownload::Transfer {
    Transfer(DiffDownload *pOwner, const QString &sTemporary) : pSelf(pOwner), file(sTemporary) {}
    DiffDownload *pSelf;
    QFile file;
    StreamMd5 hash; // digested beside the transfer
    bool bWriteFailed = false;
    QByteArray baUrl;
    QString sLocal;
    QString sExpectedHash;
    CURLcode nResult = CURLE_OK;
    long nStatus = 0;
};

// The handles a package's files share, and the file still to be finished.
struct DiffDownload::PackageTransfer {
    std::unique_ptr<CURL, CurlDeleter> pEasy = NewTransferHandle();
    std::unique_ptr<CURLM, MultiDeleter> pMulti{curl_multi_init()};
    std::unique_ptr<Transfer> pPending;
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
    }
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
    const QStringList slFolder = manifest.FolderComponents(sLang, &bFolderOk);
    if (!bFolderOk)
        qDebug() << "package folder refused:" << manifest.Dir();

    // First the entries and their places on the disk, then the digests of
    // the copies there (all at once, on several cores), then the decision.
    struct Candidate {
        QString sUrl;
        QString sLocal; // empty: refused
        FileEntry entry;
        int nDigest = -1; // index into the digests, -1 when none is needed
    };
    QList<Candidate> candidates;
    QStringList slToHash;
    QHash<QString, QString> canonicalFolders; // the package's folders, looked up once
    const QList<FileEntry> entries = manifest.Files();
    for (const FileEntry &entry : entries) {
        const QString sRelative = PackageManifest::WithoutLanguagePrefix(entry.sPath, sLang);
        const QString sUrl = sRoot + entry.sPath;
        if (sRelative.endsWith(QLatin1String("config.json"), Qt::CaseInsensitive))
            continue;

        bool bPathOk = false;
        const QStringList slPath = SafeRelativeComponents(sRelative, &bPathOk);
        QString sLocal;
        bool bFolderExists = false;
        if (bFolderOk && bPathOk && ComponentsInside(slPath, slFolder))
            sLocal = PathInside(sSavePath, sRelative, &canonicalFolders, &bFolderExists);
        if (sLocal.isEmpty()) {
            qDebug() << "file path refused:" << entry.sPath << "package folder" << manifest.Dir();
            candidates.append(Candidate{sUrl, QString(), entry, -1});
            continue;
        }
        // In a folder not there yet, there is nothing to clean up or compare.
        if (!bFolderExists) {
            candidates.append(Candidate{sUrl, sLocal, entry, -1});
            continue;
        }

        // A killed run may have left a half-received copy; it is never used.
        // (Removed, not tested for: a dangling link does not "exist".)
        QFile::remove(sLocal + QLatin1String(TemporarySuffix));

        int nDigest = -1;
        if (!sLocal.endsWith(QLatin1String("main.bin"), Qt::CaseInsensitive)) {
            nDigest = slToHash.size();
            slToHash.append(sLocal);
        }
        candidates.append(Candidate{sUrl, sLocal, entry, nDigest});
    }
    const QStringList slDigests = FileMd5List(slToHash);

    FileList files;
    quint64 nBytes = 0;
    for (const Candidate &candidate : qAsConst(candidates)) {
        if (candidate.sLocal.isEmpty()) {
            files.insert(candidate.sUrl, FileTarget{QString(), candidate.entry.sHash});
            continue;
        }
        // "main.bin" is always fetched; other files when their digest differs.
        const bool bFetch =
            candidate.nDigest < 0 ||
            slDigests.at(candidate.nDigest).compare(candidate.entry.sHash, Qt::CaseInsensitive) !=
                0;
        if (!bFetch)
            continue;
        nBytes += quint64(candidate.entry.nSize);
        files.insert(candidate.sUrl, FileTarget{candidate.sLocal, candidate.entry.sHash});
    }

    QMutexLocker lock(&mutex);
    nTotal = nBytes;
    nFileCount = files.size();
    return files;
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

void DiffDownload::DownloadFile(const QString &sUrl, const FileTarget &target,
                                const ProxyInfo *pProxy, PackageTransfer &package)
{
    const QString &sLocal = target.sLocalPath;
    if (sLocal.isEmpty()) {
        CountFile(false, sLocal);
        return;
    }
    auto pTransfer = std::make_unique<Transfer>(this, sLocal + QLatin1String(TemporarySuffix));
    Transfer &transfer = *pTransfer;
    if (!OpenNewFile(transfer.file)) {
        qDebug() << "cannot write" << transfer.file.fileName() << transfer.file.errorString();
        CountFile(false, sLocal);
        return;
    }
    CURL *pCurl = package.pEasy.get();
    if (!pCurl || !package.pMulti) {
        transfer.file.remove();
        CountFile(false, sLocal);
        return;
    }

    QString sEscaped = sUrl;
    sEscaped.replace(QLatin1Char(' '), QLatin1String("%20"));
    transfer.baUrl = EncodedUrl(sEscaped);
    transfer.sLocal = sLocal;
    transfer.sExpectedHash = target.sHash;
    qDebug("%s", transfer.baUrl.constData());

    // Only what differs between files is set here; the rest stays on the handle.
    curl_easy_setopt(pCurl, CURLOPT_URL, transfer.baUrl.constData());
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, &transfer);
    ApplyProxy(pCurl, pProxy);

    transfer.nResult = Perform(package);
    curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &transfer.nStatus);
    // Finished while the next file's request is on its way.
    package.pPending = std::move(pTransfer);
}

CURLcode DiffDownload::Perform(PackageTransfer &package)
{
    CURLM *pMulti = package.pMulti.get();
    CURL *pCurl = package.pEasy.get();
    if (curl_multi_add_handle(pMulti, pCurl) != CURLM_OK) {
        FinishPending(package);
        return CURLE_FAILED_INIT;
    }
    int nRunning = 0;
    CURLMcode nMulti = curl_multi_perform(pMulti, &nRunning);
    // The request has gone out: the previous file is checked and put in place
    // while the server answers.
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
    const bool bFlushed = transfer.file.flush();
    transfer.file.close();

    bool bSuccess = transfer.nResult == CURLE_OK && transfer.nStatus == 200 &&
                    !transfer.bWriteFailed && bFlushed &&
                    transfer.file.error() == QFileDevice::NoError;
    if (!bSuccess) {
        qDebug() << "download failed:" << transfer.baUrl << "curl" << int(transfer.nResult)
                 << "http" << transfer.nStatus << (transfer.bWriteFailed ? "write failed" : "");
    } else if (!transfer.sExpectedHash.isEmpty()) {
        const QString sReceived = QString::fromLatin1(transfer.hash.Result().toHex());
        if (sReceived.compare(transfer.sExpectedHash, Qt::CaseInsensitive) != 0) {
            qDebug() << "digest mismatch:" << transfer.baUrl << sReceived << "expected"
                     << transfer.sExpectedHash;
            bSuccess = false;
        }
    }
    const QString sTemporary = transfer.file.fileName();
    if (bSuccess)
        bSuccess = ReplaceFile(sTemporary, transfer.sLocal);
    if (!bSuccess)
        QFile::remove(sTemporary);
    CountFile(bSuccess, transfer.sLocal);
}

bool DiffDownload::CountFile(bool bSuccess, const QString &sLocalPath)
{
    QMutexLocker lock(&mutex);
    if (!bNeedInstall && !sLocalPath.isEmpty())
        bNeedInstall =
            FileNameOf(sLocalPath).compare(QLatin1String("MAIN.bin"), Qt::CaseInsensitive) == 0;
    if (bSuccess)
        ++nSuccess;
    else
        ++nErr;
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
    if (nPercent == nLastPercent)
        return; // the same value again tells the window nothing
    nLastPercent = nPercent;
    lock.unlock();
    emit Progress(nPercent);
}

size_t DiffDownload::WriteChunk(char *pData, size_t nSize, size_t nCount, void *pUser)
{
    auto *pTransfer = static_cast<Transfer *>(pUser);
    const size_t nBytes = nSize * nCount;
    if (pTransfer->file.write(pData, qint64(nBytes)) != qint64(nBytes)) {
        // A short write (disk full, disk gone) must fail the file, not pass silently.
        pTransfer->bWriteFailed = true;
        return 0;
    }
    pTransfer->hash.AddData(pData, qint64(nBytes));
    pTransfer->pSelf->AddReceived(nBytes);
    return nBytes;
}

int DiffDownload::CheckAbort(void *pUser, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *pTransfer = static_cast<const Transfer *>(pUser);
    if (pTransfer == nullptr) // a handle used outside DownloadFile
        return TransferStopFlag.load() != 0 ? 1 : 0;
    return (pTransfer->pSelf->bStop || TransferStopFlag.load() != 0) ? 1 : 0;
}
