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
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly;
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

// What the libcurl callbacks of one transfer work on.
struct DiffDownload::Transfer {
    Transfer(DiffDownload *pOwner, QFile *pOpenFile) : pSelf(pOwner), pFile(pOpenFile) {}
    DiffDownload *pSelf;
    QFile *pFile;
    StreamMd5 hash; // digested beside the transfer
    bool bWriteFailed = false;
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
    // One handle for the whole package, on this thread only: its files reuse one
    // connection without sharing a connection cache between threads.
    const std::unique_ptr<CURL, CurlDeleter> pHandle = NewTransferHandle();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const std::shared_ptr<const ProxyInfo> pProxy = ActiveProxy();
        DownloadFile(it.key(), it.value(), pProxy.get(), pHandle.get());
    }
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

bool DiffDownload::DownloadFile(const QString &sUrl, const FileTarget &target,
                                const ProxyInfo *pProxy, CURL *pCurl)
{
    const QString &sLocal = target.sLocalPath;
    if (sLocal.isEmpty())
        return CountFile(false, sLocal);

    const QString sTemporary = sLocal + QLatin1String(TemporarySuffix);
    QFile file(sTemporary);
    if (!OpenNewFile(file)) {
        qDebug() << "cannot write" << sTemporary << file.errorString();
        return CountFile(false, sLocal);
    }
    std::unique_ptr<CURL, CurlDeleter> pOwnHandle;
    if (!pCurl) {
        pOwnHandle = NewTransferHandle();
        pCurl = pOwnHandle.get();
    }
    if (!pCurl) {
        file.close();
        file.remove();
        return CountFile(false, sLocal);
    }

    QString sEscaped = sUrl;
    sEscaped.replace(QLatin1Char(' '), QLatin1String("%20"));
    const QByteArray baUrl = EncodedUrl(sEscaped);
    qDebug("%s", baUrl.constData());

    // Only what differs between files is set here; the rest stays on the handle.
    Transfer transfer{this, &file};
    curl_easy_setopt(pCurl, CURLOPT_URL, baUrl.constData());
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(pCurl, CURLOPT_XFERINFODATA, &transfer);
    ApplyProxy(pCurl, pProxy);

    const CURLcode nResult = curl_easy_perform(pCurl);
    long nStatus = 0;
    curl_easy_getinfo(pCurl, CURLINFO_RESPONSE_CODE, &nStatus);
    pOwnHandle.reset();
    const bool bFlushed = file.flush();
    file.close();

    bool bSuccess = nResult == CURLE_OK && nStatus == 200 && !transfer.bWriteFailed && bFlushed &&
                    file.error() == QFileDevice::NoError;
    if (!bSuccess) {
        qDebug() << "download failed:" << baUrl << "curl" << int(nResult) << "http" << nStatus
                 << (transfer.bWriteFailed ? "write failed" : "");
    } else if (!target.sHash.isEmpty()) {
        const QString sReceived = QString::fromLatin1(transfer.hash.Result().toHex());
        if (sReceived.compare(target.sHash, Qt::CaseInsensitive) != 0) {
            qDebug() << "digest mismatch:" << baUrl << sReceived << "expected" << target.sHash;
            bSuccess = false;
        }
    }
    if (bSuccess)
        bSuccess = ReplaceFile(sTemporary, sLocal);
    if (!bSuccess)
        QFile::remove(sTemporary);
    return CountFile(bSuccess, sLocal);
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
    if (pTransfer->pFile->write(pData, qint64(nBytes)) != qint64(nBytes)) {
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
