#pragma once
// Brings one package on the device disk up to date with its manifest: every
// listed file whose MD5 differs from the copy on the disk (and every
// "main.bin") is fetched over HTTP, one after the other on one connection. A
// file is received into a temporary file of its own beside its target and
// replaces the target in one rename only when it arrived complete and with the
// manifest's digest, so a failed or interrupted update keeps the copy that
// worked. That check and rename run while the next file's request is on its
// way.
//
// A large file (KeptPart) whose transfer breaks off keeps what it received:
// in the same run it is resumed at once with a range request (a few times, as
// long as each try brings more), and if it still fails, the part stays on the
// disk with a side record, so that the next run with the same URL and digest
// asks only for the rest. The rest must continue the kept bytes (a 206 with
// the Content-Range asked for, of the same version by ETag and Last-Modified,
// and of the file's length as the server gave it before); a whole file (200)
// replaces them, anything else brings the whole file afresh, and so does a
// joined file whose digest is wrong.
//
// A manifest's "Size" weighs a file in the progress and nothing more: the
// server may send more or less. What keeps a server that never ends from
// filling the disk is the disk's reserve: once a file has passed its size, it
// stops (as "disk full") before the disk's free space would fall below
// DiskReserveBytes.
//
// A package may place files anywhere on the device disk except the device's
// own "sn.txt" and "SaveData"; its "dir" only says where its installed
// manifest goes. Entries that name one file in two spellings (as the disk's
// file system compares names) are fetched once. Before each file the disk
// must still be the volume the run began on: a disk pulled out ends the run,
// and no folder is ever made outside it.
//
// StartDownload blocks; it is meant for a worker thread. The signals are
// emitted on that thread.

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <atomic>
#include <curl/curl.h>
#include <memory>

struct ProxyInfo;

class DiffDownload : public QObject
{
    Q_OBJECT
public:
    // Where a URL goes on the disk. An empty local path marks a file whose
    // "Path" was refused (it would lead out of the disk or into a place
    // reserved to the device).
    struct FileTarget {
        QString sLocalPath;
        QString sHash;
        qint32 nSize = 0;       // from the manifest: its weight in the progress (0: unknown)
        bool bKeptPart = false; // an earlier run kept a part of it beside its place
    };
    using FileList = QMap<QString, FileTarget>; // by URL: the order of the transfers

    // Why a file did not arrive; the old copy on the disk, if any, stays.
    enum class Failure {
        DiskFull,       // the device disk has no room for it
        DiskGone,       // the device disk went away
        DiskWrite,      // the device disk refused it otherwise (read-only, damaged)
        ServerError,    // the server answered with an error instead of the file
        Network,        // the server could not be reached, or the transfer broke off or stalled
        DigestMismatch, // what arrived is not the file the manifest describes
        Refused,        // its place on the disk is not one a package may write
        Cancelled       // the user stopped the download
    };
    Q_ENUM(Failure)
    using Failures = QMap<Failure, int>; // files per reason

    // Ends the name of a file being received: the target's name, a part that
    // is unique to the transfer, then this.
    static const char *const TemporarySuffix;
    static constexpr quint64 TransferredStep = 256 * 1024;
    // A file that broke off is resumed at most this often in one run.
    static constexpr int MaxResumesPerRun = 3;
    // Free space a file that has passed its manifest's size leaves on the disk.
    static constexpr quint64 DiskReserveBytes = 32 * 1024 * 1024;

    explicit DiffDownload(QObject *parent = nullptr);
    // Aborts a running transfer and reports the end if it was not reported yet.
    ~DiffDownload() override;

    void SetSavePath(const QString &sPath);
    void SetPackageJson(const QJsonObject &joPackage);
    // A flag that, once raised (from any thread), stops the run: the running
    // transfer is dropped and the files not yet begun are not asked for; all
    // count as Cancelled.
    void SetCancelFlag(std::shared_ptr<const std::atomic<bool>> pFlag);

    // The files of the last run that failed, by reason; read once
    // StartDownload has returned.
    Failures FailureReasons() const;

    // Fetches what differs; returns when every file has been tried. Emits
    // DownloadFinish once (-1, 0, false when nothing had to be fetched).
    void StartDownload();
    // From any thread: a running StartDownload ends early, the transfer under
    // way aborted and the files not yet fetched counted as failed.
    void Stop();

    // The files to fetch; also sets the total size and the file count, and
    // removes temporary files that a killed or cut-off run left beside the
    // targets (not those that a running transfer holds).
    FileList BuildFileList();

    struct CurlDeleter {
        void operator()(CURL *pHandle) const { curl_easy_cleanup(pHandle); }
    };
    // A transfer handle with the options that are the same for every file.
    static std::unique_ptr<CURL, CurlDeleter> NewTransferHandle();

signals:
    void DownloadFinish(int nSuccess, int nErr, bool bNeedInstall = false);
    void Progress(int nPercent);
    // The package's bytes so far and in all; with every new percent, and at
    // least every TransferredStep bytes.
    void Transferred(int nPercent, qint64 nReceived, qint64 nTotal);

private:
    struct Transfer;
    struct PackageTransfer;
    // Fetches one file of the package into its temporary file. Its check and
    // rename into place happen in FinishPending, which runs once the next
    // file's request is on its way (or at the end of the package).
    // bFresh: the whole file, neither resumed nor kept (after a joined file
    // failed its digest).
    void DownloadFile(const QString &sUrl, const FileTarget &target, const ProxyInfo *pProxy,
                      PackageTransfer &package, bool bFresh = false);
    CURLcode Perform(PackageTransfer &package, Transfer &transfer);
    void FinishPending(PackageTransfer &package);
    // Takes over the part an earlier run kept of this file when its record
    // fits, digests it and makes the transfer ask for the rest; removes a
    // kept part that does not fit.
    void ClaimKeptPart(Transfer &transfer);
    // Leaves what a broken-off transfer received on the disk, with its record.
    bool KeepPart(Transfer &transfer);
    // Judges the answer before its first byte is written: false when its body
    // must not go into the file.
    bool CheckAnswer(Transfer &transfer);
    // Empties the transfer's file and digest for the whole file; false when
    // the file cannot be emptied.
    static bool RestartFile(Transfer &transfer);
    // Whether the transfer was cut off on the way while receiving the file
    // (or its rest), with nothing wrong on this side.
    static bool BrokeOff(const Transfer &transfer);
    // Makes the transfer's temporary file once the request is out (or when
    // its first bytes arrive), if the disk is still there; false when it cannot.
    bool OpenTransferFile(Transfer &transfer);
    // Creates a temporary file of the transfer's own beside sLocal, making the
    // missing folders below the disk root.
    bool OpenTemporary(Transfer &transfer, const QString &sLocal);
    bool MakeFoldersBelowDisk(const QString &sFolder) const;
    // Whether nBytes more of a file that has passed its size leave the disk
    // its reserve; sets when to look again.
    bool RoomToGoOn(Transfer &transfer, qint64 nBytes) const;
    // Whether the disk root is still the volume the run began on; once it is
    // not, it never is again for this run.
    bool DiskStillThere(PackageTransfer &package) const;
    // Removes what killed or cut-off runs left in the folders (folder -> the
    // targets' names in it), and kept parts older than a week; returns the
    // paths of the targets that still have kept parts there.
    QSet<QString> RemoveLeftovers(const QHash<QString, QSet<QString>> &names) const;
    static size_t WriteChunk(char *pData, size_t nSize, size_t nCount, void *pUser);
    static size_t ReadHeader(char *pData, size_t nSize, size_t nCount, void *pUser);
    static int CheckAbort(void *pUser, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    bool CountFile(bool bSuccess, const QString &sLocalPath, Failure failure);
    // Why the transfer failed, looked at once it has ended.
    Failure FailureOf(PackageTransfer &package, const Transfer &transfer, bool bDigestChecked);
    bool IsCancelled() const;
    // Counts bytes of the transfer towards the package's progress; a file
    // that starts over takes back what it counted.
    void AddReceived(Transfer &transfer, qint64 nBytes);

    QString sSavePath = QStringLiteral("./");
    QJsonObject joPackage;

    mutable QMutex mutex; // guards everything below except bStop and pCancel
    quint64 nReceived = 0;
    quint64 nTotal = 0;
    int nSuccess = 0;
    int nErr = 0;
    int nFileCount = 0;
    int nLastPercent = -1;
    quint64 nLastReported = 0; // received bytes at the last Transferred
    bool bFinished = false;
    bool bNeedInstall = false;
    Failures failures;
    std::atomic<bool> bStop{false};
    std::shared_ptr<const std::atomic<bool>> pCancel;
};
